#include "engine/qt_download.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QTemporaryDir>
#include <QWebEngineDownloadRequest>
#include <optional>

#include "engine/qt_browser.h"

namespace engine {
namespace {

class QtDownloadItem : public DownloadItem {
 public:
  explicit QtDownloadItem(const QWebEngineDownloadRequest& download)
      : download_(download) {}
  std::string GetURL() const override {
    return download_.url().toString(QUrl::FullyEncoded).toStdString();
  }
  std::string GetMimeType() const override { return download_.mimeType().toStdString(); }

 private:
  const QWebEngineDownloadRequest& download_;
};

// Records the client's answer; the download acts on it once the client returns.
class QtBeforeDownloadCallback : public BeforeDownloadCallback {
 public:
  struct Decision {
    std::string download_path;
    bool show_dialog = false;
  };
  void Continue(const std::string& download_path, bool show_dialog) override {
    if (!decision_)
      decision_ = Decision{download_path, show_dialog};
  }
  const std::optional<Decision>& decision() const { return decision_; }

 private:
  std::optional<Decision> decision_;
};

// A download running into a temporary folder while the save dialog asks where it
// goes. Lives as a child of the download (which the profile owns) until both the
// download has finished and the user has answered; the temporary folder goes
// with it.
class DialogDownload : public QObject {
 public:
  DialogDownload(QWebEngineDownloadRequest* download, QWidget* window)
      : QObject(download), download_(download) {
    if (!folder_.isValid()) {
      // Nowhere to fetch it to while the user decides.
      download->cancel();
      deleteLater();
      return;
    }
    const QString name = download->downloadFileName();
    const QString start_path = download->downloadDirectory();
    download->setDownloadDirectory(folder_.path());
    download->accept();
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this,
            &DialogDownload::MaybeDone);

    // Qt's own dialog rather than the desktop's, so that it looks and behaves the
    // same everywhere (and needs no portal).
    dialog_ = new QFileDialog(window && window->isVisible() ? window : nullptr,
                              QFileDialog::tr("Save File"));
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    dialog_->setOption(QFileDialog::DontUseNativeDialog);
    dialog_->setAcceptMode(QFileDialog::AcceptSave);
    dialog_->setFileMode(QFileDialog::AnyFile);
    // A folder that does not exist yet (the engine makes its download folder
    // when it first saves there) would turn up as part of the name.
    dialog_->setDirectory(QDir(start_path).exists() ? start_path : QDir::homePath());
    dialog_->selectFile(name);
    connect(dialog_, &QFileDialog::finished, this, [this](int result) {
      const QStringList files = dialog_ ? dialog_->selectedFiles() : QStringList();
      Answer(result == QDialog::Accepted && !files.isEmpty() ? files.first() : QString());
    });
    // The dialog dies with its window (the program quitting): no answer.
    connect(dialog_, &QObject::destroyed, this, [this] { Answer(QString()); });
    dialog_->open();
  }

  ~DialogDownload() override {
    if (dialog_)
      dialog_->deleteLater();
  }

 private:
  // |path| is empty when the user did not choose one.
  void Answer(const QString& path) {
    if (answered_)
      return;
    answered_ = true;
    chosen_path_ = path;
    if (chosen_path_.isEmpty() && !download_->isFinished())
      download_->cancel();
    MaybeDone();
  }

  void MaybeDone() {
    if (!answered_ || !download_->isFinished() || done_)
      return;
    done_ = true;
    if (!chosen_path_.isEmpty() &&
        download_->state() == QWebEngineDownloadRequest::DownloadCompleted) {
      const QString fetched =
          QDir(download_->downloadDirectory()).filePath(download_->downloadFileName());
      // The dialog has had the user confirm replacing a file already there.
      if (QFileInfo::exists(chosen_path_))
        QFile::remove(chosen_path_);
      // Across file systems this copies, then removes the temporary file.
      QFile::rename(fetched, chosen_path_);
    }
    deleteLater();
  }

  QWebEngineDownloadRequest* download_;
  QTemporaryDir folder_;
  QPointer<QFileDialog> dialog_;
  QString chosen_path_;
  bool answered_ = false;
  bool done_ = false;
};

std::shared_ptr<QtBrowser> BrowserOf(const QWebEngineDownloadRequest& download) {
  for (const auto& [id, browser] : QtBrowser::OpenBrowsers()) {
    if (browser->page() && browser->page() == download.page())
      return browser;
  }
  return nullptr;
}

}  // namespace

void HandleDownloadRequest(QWebEngineDownloadRequest* download) {
  if (!download)
    return;
  std::shared_ptr<QtBrowser> browser = BrowserOf(*download);
  auto handler = browser ? browser->GetClient()->GetDownloadHandler() : nullptr;
  if (!handler) {
    download->cancel();
    return;
  }
  auto callback = std::make_shared<QtBeforeDownloadCallback>();
  handler->OnBeforeDownload(browser, QtDownloadItem(*download),
                            download->suggestedFileName().toStdString(), callback);
  if (!callback->decision()) {
    download->cancel();
    return;
  }

  // The name the page suggested, in the given place or the engine's folder.
  const QString path = QString::fromStdString(callback->decision()->download_path);
  const QFileInfo target(
      path.isEmpty()
          ? QDir(download->downloadDirectory()).filePath(download->suggestedFileName())
          : path);
  download->setDownloadDirectory(target.absolutePath());
  download->setDownloadFileName(target.fileName());
  if (callback->decision()->show_dialog) {
    QWebEngineView* view = browser->view();
    new DialogDownload(download, view ? view->window() : nullptr);
    return;
  }
  download->accept();
}

}  // namespace engine
