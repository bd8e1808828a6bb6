// The profile's notification presenter: a notification of a page that was
// allowed them goes to the client of the browsers, which shows it the
// desktop's way. UI thread.
#ifndef SRC_ENGINE_QT_QT_NOTIFICATIONS_H_
#define SRC_ENGINE_QT_QT_NOTIFICATIONS_H_

class QWebEngineProfile;

namespace engine {

// Presents |profile|'s notifications through the client of its oldest open
// browser (every browser of the program shares one client).
void PresentNotifications(QWebEngineProfile* profile);

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_NOTIFICATIONS_H_
