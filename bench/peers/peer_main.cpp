// lumio-peer: the least a Qt WebEngine program needs to do what Lumio does, as a
// baseline for bench/run_bench.py. One window, one page, a web channel whose
// object echoes requests, and, with --serve, app:// served from a folder on disk.
//
//   lumio-peer [--serve FOLDER] URL
#include <QApplication>
#include <QFile>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>
#include <cstdio>

#include "disk_scheme_handler.h"
#include "echo_bridge.h"

namespace {

QString ReadText(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

}  // namespace

int main(int argc, char** argv) {
  // Registered as Lumio registers its own: standard syntax, local.
  QWebEngineUrlScheme scheme("app");
  scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
  scheme.setFlags(QWebEngineUrlScheme::LocalScheme |
                  QWebEngineUrlScheme::LocalAccessAllowed);
  QWebEngineUrlScheme::registerScheme(scheme);

  QApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  QString serve;
  if (args.size() >= 2 && args[0] == QLatin1String("--serve")) {
    serve = args[1];
    args = args.mid(2);
  }
  if (args.size() != 1) {
    std::fprintf(stderr, "usage: lumio-peer [--serve FOLDER] URL\n");
    return 2;
  }

  // A profile on disk, as Lumio's is.
  QWebEngineProfile profile(QStringLiteral("LumioPeer"));
  if (!serve.isEmpty())
    profile.installUrlSchemeHandler("app", new DiskSchemeHandler(serve, &profile));

  QWebEngineScript script;
  script.setName(QStringLiteral("peer-bridge"));
  script.setSourceCode(ReadText(QStringLiteral(":/qtwebchannel/qwebchannel.js")) +
                       ReadText(QStringLiteral(":/peer/peer_script.js")));
  script.setInjectionPoint(QWebEngineScript::DocumentCreation);
  script.setWorldId(QWebEngineScript::MainWorld);
  script.setRunsOnSubFrames(false);
  profile.scripts()->insert(script);

  {
    QWebEngineView view;
    auto* page = new QWebEnginePage(&profile, &view);
    view.setPage(page);
    QWebChannel channel;
    EchoBridge bridge;
    channel.registerObject(QStringLiteral("peerBridge"), &bridge);
    page->setWebChannel(&channel);
    view.resize(800, 600);
    view.show();
    view.load(QUrl(args[0]));
    const int code = app.exec();
    // The page goes before its profile.
    delete page;
    return code;
  }
}
