// Desktop notifications.
#pragma once

#include <QString>
#include <functional>

namespace quorvel::app {

// A notification through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), drawn by the desktop
// in its own readable style. `fallback` runs, on the GUI thread, when there
// is no such service or it fails.
void notifyDesktop(const QString& title, const QString& text, std::function<void()> fallback = {});

}  // namespace quorvel::app
