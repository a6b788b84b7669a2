// rk_fake_notifier LOG PROGRAM [ARGUMENT...]: started inside
// "dbus-run-session", it takes the name org.freedesktop.Notifications on the
// session bus, runs PROGRAM with its arguments (its standard error passed
// through), answers every Notify call and appends it to LOG as one record:
//   app=<app name>
//   summary=<summary>
//   body=<body, lines joined by " | ">
//   urgency=<urgency hint>
//   --
// It exits with PROGRAM's exit code, or 125 when it cannot take the name.
//
// rk_fake_notifier --serve LOG: the same service on the bus that
// DBUS_SESSION_BUS_ADDRESS names, for programs started by others (cron, a
// systemd user manager). Once it owns the name it creates LOG (empty), so a
// test knows it is ready; it answers until it is stopped by a signal.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QProcess>
#include <QVariantMap>

#include <cstdio>
#include <cstring>

namespace {

class NotificationService final : public QDBusVirtualObject {
  public:
    explicit NotificationService(QString logPath) : logPath_(std::move(logPath)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != "org.freedesktop.Notifications")
            return false;
        if (message.member() == "GetServerInformation") {
            connection.send(message.createReply(
                {QString("rk_fake_notifier"), QString("ravelkeep"), QString("1"), QString("1.2")}));
            return true;
        }
        if (message.member() != "Notify" || message.arguments().size() != 8) {
            connection.send(message.createErrorReply("org.freedesktop.DBus.Error.UnknownMethod",
                                                     "only Notify is answered"));
            return true;
        }
        const QList<QVariant> args = message.arguments();
        const QVariantMap hints = qdbus_cast<QVariantMap>(args[6]);
        QString body = args[4].toString();
        body.replace('\n', " | ");
        QFile log(logPath_);
        if (log.open(QIODevice::Append)) {
            const QString record =
                "app=" + args[0].toString() + "\nsummary=" + args[3].toString() + "\nbody=" + body +
                "\nurgency=" + QString::number(hints.value("urgency").toInt()) + "\n--\n";
            log.write(record.toUtf8());
        }
        connection.send(message.createReply(QVariant::fromValue(++lastId_)));
        return true;
    }

  private:
    QString logPath_;
    uint lastId_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc < 3) {
        std::fputs("usage: rk_fake_notifier LOG PROGRAM [ARGUMENT...] | --serve LOG\n", stderr);
        return 125;
    }
    const bool serveOnly = std::strcmp(argv[1], "--serve") == 0;
    const QString logPath = QString::fromLocal8Bit(serveOnly ? argv[2] : argv[1]);
    QDBusConnection bus = QDBusConnection::sessionBus();
    NotificationService service(logPath);
    if (!bus.isConnected() ||
        !bus.registerVirtualObject("/org/freedesktop/Notifications", &service) ||
        !bus.registerService("org.freedesktop.Notifications")) {
        std::fputs("rk_fake_notifier: cannot own org.freedesktop.Notifications\n", stderr);
        return 125;
    }
    if (serveOnly) {
        QFile ready(logPath);
        if (!ready.open(QIODevice::Append)) {
            std::fputs("rk_fake_notifier: cannot create the log\n", stderr);
            return 125;
        }
        ready.close();
        return QCoreApplication::exec();
    }
    QStringList arguments;
    for (int i = 3; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QProcess program;
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    int exitCode = 125;
    QObject::connect(&program, &QProcess::finished, &application,
                     [&](int code, QProcess::ExitStatus status) {
                         exitCode = status == QProcess::NormalExit ? code : 126;
                         application.quit();
                     });
    QObject::connect(&program, &QProcess::errorOccurred, &application,
                     [&](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             std::fputs("rk_fake_notifier: the program did not start\n", stderr);
                             application.quit();
                         }
                     });
    program.start(QString::fromLocal8Bit(argv[2]), arguments);
    QCoreApplication::exec();
    return exitCode;
}
