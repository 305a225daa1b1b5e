#include "notifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QStringList>
#include <QVariantMap>

namespace quorvel::app {

void notifyDesktop(const QString& title, const QString& text, std::function<void()> fallback) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    if (fallback) fallback();
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  // The desktop entry lets the desktop show the app's name and icon.
  const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("quorvel")}};
  call << QStringLiteral("Quorvel") << 0u << QStringLiteral("quorvel") << title << text << QStringList() << hints
       << 8000;
  // Asynchronous: a notification service that hangs never holds the window.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                   [fallback = std::move(fallback)](QDBusPendingCallWatcher* w) {
                     if (w->isError() && fallback) fallback();
                     w->deleteLater();
                   });
}

}  // namespace quorvel::app
