// The question put to the user when the app asks for a device (camera,
// microphone, screen, location): a window-modal message box over |parent| that
// names the program and what it wants. UI thread.
#ifndef SRC_NATIVE_PERMISSION_PROMPT_H_
#define SRC_NATIVE_PERMISSION_PROMPT_H_

#include <functional>
#include <string>

#include "engine/client.h"

class QWidget;

// Calls |answer| once: true when the user allowed it, false when they refused or
// closed the box (or |parent| went first).
void AskUserPermission(QWidget* parent,
                       engine::Permission permission,
                       std::function<void(bool)> answer);

#endif  // SRC_NATIVE_PERMISSION_PROMPT_H_
