// Downloads: the profile hands each one here; the client of the browser whose
// page started it decides, and the engine's save dialog asks the user where to.
#ifndef SRC_ENGINE_QT_DOWNLOAD_H_
#define SRC_ENGINE_QT_DOWNLOAD_H_

class QWebEngineDownloadRequest;

namespace engine {

// For QWebEngineProfile::downloadRequested, on the UI thread. A download of no
// open browser, or one its client does not continue, is cancelled.
//
// Qt wants the decision before this returns, while a save dialog run here would
// stall the engine (and with it the pages' bridge) until the user answered. So a
// download that asks first starts at once into a private temporary folder while
// the dialog shows; the chosen place gets the file once it is complete, and
// cancelling the dialog cancels the download and removes what it had fetched.
void HandleDownloadRequest(QWebEngineDownloadRequest* download);

}  // namespace engine

#endif  // SRC_ENGINE_QT_DOWNLOAD_H_
