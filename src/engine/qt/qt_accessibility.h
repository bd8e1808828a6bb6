// The program as a screen reader sees it at its top: the application and its
// windows.
#ifndef SRC_ENGINE_QT_QT_ACCESSIBILITY_H_
#define SRC_ENGINE_QT_QT_ACCESSIBILITY_H_

namespace engine {

// Makes the application object's accessible list only the windows on screen. Qt
// lists every top-level window, and Qt WebEngine makes one that is never shown
// (titled "Offscreen") for each view, as the program makes one for popups that
// are being created. When a view's widget takes the focus back (its window is
// activated again), the control focused in its page is what is announced. Call
// before the application object exists.
void InstallApplicationAccessibility();

}  // namespace engine

#endif  // SRC_ENGINE_QT_QT_ACCESSIBILITY_H_
