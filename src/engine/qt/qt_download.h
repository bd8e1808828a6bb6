// Downloads: the profile hands each one here; the client of the browser whose
// page started it decides, and the engine's save dialog asks the user where to.
#ifndef SRC_ENGINE_QT_QT_DOWNLOAD_H_
#define SRC_ENGINE_QT_QT_DOWNLOAD_H_

class QWebEngineDownloadRequest;

namespace engine {

// For QWebEngineProfile::downloadRequested, on the UI thread. A download of no
// open browser, or one its client does not continue, is cancelled. The name the
// page or the server suggested is only ever used as a bare, safe file name
// (SafeDownloadName) in the user's download folder.
//
// Qt wants the decision before this returns, while a save dialog run here would
// stall the engine (and with it the pages' bridge) until the user answered. So a
// download that asks first is accepted into a private temporary folder and
// paused at once; it runs only after the user has chosen its place, which gets
// the file once it is complete. Cancelling the dialog cancels the download and
// removes what it had fetched. (The engine streams a download into a file of
// its own before it asks: that much, and no more, is fetched beforehand.) One
// dialog shows at a time; a few downloads wait their turn, further ones are
// refused.
void HandleDownloadRequest(QWebEngineDownloadRequest* download);

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_DOWNLOAD_H_
