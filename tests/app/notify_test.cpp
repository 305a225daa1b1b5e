// Notifications go to the desktop's notification service on the session
// bus; without one, the fallback (the tray's balloon) is used. A private
// session bus of the test's own stands in for the desktop's.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QVariantMap>

#include "notifications.h"

using namespace quorvel::app;

// What a desktop's notification service would receive.
class FakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  QStringList seen;
  QVariantMap lastHints;
  QString lastApp;

 public slots:
  uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body, const QStringList&,
              const QVariantMap& hints, int) {
    lastApp = app;
    lastHints = hints;
    seen << summary + QStringLiteral(": ") + body;
    return static_cast<uint>(seen.size());
  }
};

class NotifyTest : public QObject {
  Q_OBJECT
  QProcess bus_;
  QString address_;

 private slots:
  void initTestCase() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) QSKIP("dbus-daemon is not installed");
    bus_.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    QVERIFY(bus_.waitForStarted(10000));
    QVERIFY(QTest::qWaitFor([&] { return bus_.canReadLine() || bus_.waitForReadyRead(100); }, 20000));
    address_ = QString::fromUtf8(bus_.readLine()).trimmed();
    QVERIFY(!address_.isEmpty());
    // Before the app's first use of the session bus.
    qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
  }

  void cleanupTestCase() {
    bus_.kill();
    bus_.waitForFinished(5000);
  }

  void theDesktopsServiceShowsItAndTheFallbackIsNotUsed() {
    FakeNotifications service;
    QDBusConnection desktop = QDBusConnection::connectToBus(address_, QStringLiteral("desktop"));
    QVERIFY(desktop.isConnected());
    QVERIFY(desktop.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                                   QDBusConnection::ExportAllSlots));
    QVERIFY(desktop.registerService(QStringLiteral("org.freedesktop.Notifications")));

    bool fellBack = false;
    notifyDesktop(QStringLiteral("Quorvel"), QStringLiteral("Reply copied to the clipboard"), [&] { fellBack = true; });
    QVERIFY(QTest::qWaitFor([&] { return !service.seen.isEmpty(); }, 20000));
    QCOMPARE(service.seen, QStringList{QStringLiteral("Quorvel: Reply copied to the clipboard")});
    QCOMPARE(service.lastApp, QStringLiteral("Quorvel"));
    QCOMPARE(service.lastHints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("quorvel"));
    QTest::qWait(200);
    QVERIFY(!fellBack);

    desktop.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    desktop.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
  }

  void withoutTheServiceTheFallbackShowsIt() {
    bool fellBack = false;
    notifyDesktop(QStringLiteral("Quorvel"), QStringLiteral("No reply: the clipboard holds no text"),
                  [&] { fellBack = true; });
    QVERIFY(QTest::qWaitFor([&] { return fellBack; }, 20000));
  }
};

QTEST_MAIN(NotifyTest)
#include "notify_test.moc"
