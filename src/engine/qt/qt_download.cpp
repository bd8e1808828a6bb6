#include "engine/qt/qt_download.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEngineDownloadRequest>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <deque>
#include <optional>

#include "engine/qt/download_name.h"
#include "engine/qt/qt_browser.h"
#include "engine/qt/qt_engine_context.h"
#include "engine/thread_check.h"

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

// Where the save dialog opens: the user's download folder, or home without one.
QString DownloadFolder() {
  const QString folder =
      QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  return !folder.isEmpty() && QDir(folder).exists() ? folder : QDir::homePath();
}

// A download that waits, paused, in a private temporary folder until the user
// has chosen its place in the save dialog; then it runs there and the chosen
// place gets the file once it is complete. Lives as a child of the download
// (which the profile owns) until both the download has finished and the user
// has answered; the temporary folder goes with it.
//
// One dialog at a time: later downloads wait their turn, and beyond a few
// waiting ones a download is refused, so that a page cannot pile up dialogs or
// paused transfers. Only accessed on the UI thread.
class DialogDownload : public QObject {
 public:
  // The number of downloads that may wait behind the one whose dialog shows.
  static constexpr size_t kMaxWaiting = 3;

  static void Start(QWebEngineDownloadRequest* download,
                    const QString& name,
                    QWidget* window) {
    if (Queue().size() > kMaxWaiting) {
      std::fprintf(stderr,
                   "lumio-app: too many downloads waiting for an answer; refusing one\n");
      download->cancel();
      return;
    }
    auto* item = new DialogDownload(download, name, window);
    if (download->state() == QWebEngineDownloadRequest::DownloadCancelled)
      return;
    Queue().push_back(item);
    // After this returns: making a dialog takes a while, and meanwhile the
    // engine hands over (and fetches) the downloads that came with this one.
    if (Queue().size() == 1)
      QTimer::singleShot(0, item, [item] { item->Ask(); });
  }

  ~DialogDownload() override {
    if (dialog_)
      dialog_->deleteLater();
    // Only the profile going (the program quitting) ends one unanswered.
    LeaveQueue(/*ask_next=*/false);
  }

 private:
  DialogDownload(QWebEngineDownloadRequest* download,
                 const QString& name,
                 QWidget* window)
      : QObject(download), download_(download), name_(name), window_(window) {
    if (!folder_.isValid()) {
      // Nowhere to fetch it to once the user has decided.
      download->cancel();
      deleteLater();
      return;
    }
    download->setDownloadDirectory(folder_.path());
    download->setDownloadFileName(name);
    download->accept();
    // Qt wants the decision before the signal returns, and the engine would
    // otherwise go on fetching into the temporary folder while the dialog waits:
    // it waits paused, with what the network has already delivered at most.
    download->pause();
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this,
            &DialogDownload::MaybeDone);
  }

  static std::deque<DialogDownload*>& Queue() {
    static std::deque<DialogDownload*> queue;
    return queue;
  }

  // Leaves the queue; with |ask_next| the next one in it asks once the front
  // has been answered.
  void LeaveQueue(bool ask_next) {
    auto& queue = Queue();
    const auto it = std::find(queue.begin(), queue.end(), this);
    if (it == queue.end())
      return;
    const bool was_front = it == queue.begin();
    queue.erase(it);
    if (ask_next && was_front && !queue.empty())
      queue.front()->Ask();
  }

  void Ask() {
    // Qt's own dialog rather than the desktop's, so that it looks and behaves the
    // same everywhere (and needs no portal).
    dialog_ = new QFileDialog(window_ && window_->isVisible() ? window_.data() : nullptr,
                              QFileDialog::tr("Save File"));
    dialog_->setAttribute(Qt::WA_DeleteOnClose);
    dialog_->setOption(QFileDialog::DontUseNativeDialog);
    dialog_->setAcceptMode(QFileDialog::AcceptSave);
    dialog_->setFileMode(QFileDialog::AnyFile);
    // Never where the page's name points: the user's download folder.
    dialog_->setDirectory(DownloadFolder());
    dialog_->selectFile(name_);
    connect(dialog_, &QFileDialog::finished, this, [this](int result) {
      const QStringList files = dialog_ ? dialog_->selectedFiles() : QStringList();
      Answer(result == QDialog::Accepted && !files.isEmpty() ? files.first() : QString());
    });
    // The dialog dies with its window (the program quitting): no answer, and
    // no dialog for the ones waiting either.
    connect(dialog_, &QObject::destroyed, this, [this] {
      if (answered_)
        return;
      for (DialogDownload* waiting : std::deque<DialogDownload*>(Queue()))
        waiting->Answer(QString(), /*ask_next=*/false);
    });
    dialog_->open();
  }

  // |path| is empty when the user did not choose one.
  void Answer(const QString& path, bool ask_next = true) {
    if (answered_)
      return;
    answered_ = true;
    chosen_path_ = path;
    if (chosen_path_.isEmpty() && !download_->isFinished())
      download_->cancel();
    else if (download_->isPaused())
      download_->resume();
    LeaveQueue(ask_next);
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
  const QString name_;
  QPointer<QWidget> window_;
  QTemporaryDir folder_;
  QPointer<QFileDialog> dialog_;
  QString chosen_path_;
  bool answered_ = false;
  bool done_ = false;
};

std::shared_ptr<QtBrowser> BrowserOf(const QWebEngineDownloadRequest& download) {
  QtEngineContext* context = QtEngineContext::Get();
  if (!context)
    return nullptr;
  for (const auto& [id, browser] : context->browsers()) {
    if (browser->page() && browser->page() == download.page())
      return browser;
  }
  return nullptr;
}

}  // namespace

void HandleDownloadRequest(QWebEngineDownloadRequest* download) {
  LUMIO_ASSERT_UI_THREAD();
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

  // The client's full path as it is; any other name (the page's, the server's)
  // only as a bare file name in the user's download folder.
  const QString path = QString::fromStdString(callback->decision()->download_path);
  const bool full_path = QDir::isAbsolutePath(path);
  const QString name = QString::fromStdString(
      SafeDownloadName((full_path        ? QFileInfo(path).fileName()
                        : path.isEmpty() ? download->suggestedFileName()
                                         : path)
                           .toStdString()));
  if (callback->decision()->show_dialog) {
    QWebEngineView* view = browser->view();
    DialogDownload::Start(download, name, view ? view->window() : nullptr);
    return;
  }
  download->setDownloadDirectory(full_path ? QFileInfo(path).absolutePath()
                                           : DownloadFolder());
  download->setDownloadFileName(name);
  download->accept();
}

}  // namespace engine
