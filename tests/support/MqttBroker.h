#pragma once

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <mosquitto.h>
#include <mutex>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

// A Mosquitto broker of a test's own on a free loopback port: no anonymous clients, the users
// "bench" (its own topics and Home Assistant's) and "operator" (everything), a TLS listener
// with certificates that openssl makes for it. Its log is the file "log".
class MqttBroker {
public:
    static bool installed()
    {
        return QFile::exists(QStringLiteral("/usr/sbin/mosquitto"))
            && !QStandardPaths::findExecutable(QStringLiteral("mosquitto_passwd")).isEmpty()
            && !QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty();
    }
    ~MqttBroker() { stop(); }

    int port() const { return m_port; }
    int tlsPort() const { return m_tlsPort; }
    QString file(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    QByteArray log()
    {
        QFile file(this->file("log"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Starts it, the first time with new files; waits until it takes connections.
    bool start()
    {
        if (m_port == 0 && !prepare())
            return false;
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("/usr/sbin/mosquitto"), { "-c", file("mosquitto.conf") });
        // It says "running" once every listener is open.
        const qsizetype before = log().count(" running");
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            if (log().count(" running") > before)
                return true;
            QTest::qWait(20);
        }
        return false;
    }
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000))
            m_process.kill();
        m_process.waitForFinished();
    }

private:
    static int freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0
            && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
        ::close(fd);
        return ok ? ntohs(address.sin_port) : 0;
    }
    bool run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start(program, arguments);
        return process.waitForFinished(30000) && process.exitCode() == 0;
    }
    // A key and a certificate, signed by @p ca or by itself.
    bool certificate(const char* name, const char* subject, const char* ca)
    {
        QStringList arguments { "req", "-x509", "-days", "2", "-newkey", "ec", "-pkeyopt",
            "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", file(name) + ".key", "-out",
            file(name) + ".crt", "-subj", subject, "-addext",
            "subjectAltName=DNS:localhost,IP:127.0.0.1" };
        if (ca != nullptr)
            arguments << "-CA" << file(ca) + ".crt"
                      << "-CAkey" << file(ca) + ".key";
        return run("openssl", arguments);
    }
    bool prepare()
    {
        m_port = freePort();
        m_tlsPort = freePort();
        if (m_port == 0 || m_tlsPort == 0)
            return false;
        const QString passwords = file("passwords");
        QFile::remove(passwords);
        if (!run("mosquitto_passwd", { "-c", "-b", passwords, "bench", "benchpw" })
            || !run("mosquitto_passwd", { "-b", passwords, "operator", "operatorpw" })
            || !certificate("ca", "/CN=Test CA", nullptr)
            || !certificate("wrong-ca", "/CN=Other CA", nullptr)
            || !certificate("server", "/CN=localhost", "ca"))
            return false;
        QFile acl(file("acl"));
        QFile conf(file("mosquitto.conf"));
        const passwd* user = ::getpwuid(::geteuid());
        return acl.open(QIODevice::WriteOnly) && conf.open(QIODevice::WriteOnly)
            && acl.write("user bench\ntopic readwrite velmora/#\ntopic readwrite homeassistant/#\n"
                         "user operator\ntopic readwrite #\n")
            && conf.write(
                QStringLiteral(
                    "per_listener_settings false\nallow_anonymous false\npersistence false\n"
                    "password_file %1\nacl_file %2\nlog_dest file %9\nlog_type all\nuser %3\n"
                    "listener %4 127.0.0.1\nlistener %5 127.0.0.1\ncafile %6\ncertfile %7\nkeyfile "
                    "%8\n")
                    .arg(passwords, file("acl"), QString::fromLocal8Bit(user->pw_name))
                    .arg(m_port)
                    .arg(m_tlsPort)
                    .arg(file("ca.crt"), file("server.crt"), file("server.key"), file("log"))
                    .toUtf8());
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
    int m_tlsPort = 0;
};

// A client of the broker as the operator: what it receives on "#", and what it sends.
class MqttReader {
public:
    struct Message {
        QByteArray topic;
        QByteArray payload;
        bool retain;
    };
    explicit MqttReader(int port)
        : m_client(mosquitto_new(nullptr, true, this))
    {
        mosquitto_username_pw_set(m_client, "operator", "operatorpw");
        mosquitto_connect_callback_set(m_client,
            [](mosquitto* client, void*, int) { mosquitto_subscribe(client, nullptr, "#", 1); });
        mosquitto_message_callback_set(
            m_client, [](mosquitto*, void* self, const mosquitto_message* m) {
                auto* reader = static_cast<MqttReader*>(self);
                const std::lock_guard lock(reader->m_mutex);
                reader->m_messages.push_back({ m->topic,
                    QByteArray(static_cast<const char*>(m->payload), m->payloadlen), m->retain });
            });
        mosquitto_connect(m_client, "127.0.0.1", port, 30);
        mosquitto_loop_start(m_client);
    }
    ~MqttReader()
    {
        mosquitto_disconnect(m_client);
        mosquitto_loop_stop(m_client, false);
        mosquitto_destroy(m_client);
    }
    MqttReader(const MqttReader&) = delete;
    MqttReader& operator=(const MqttReader&) = delete;

    // The payloads received on @p topic, in order; "r:" before those that came retained.
    QByteArrayList on(const QByteArray& topic)
    {
        const std::lock_guard lock(m_mutex);
        QByteArrayList found;
        for (const Message& m : m_messages) {
            if (m.topic == topic)
                found << (m.retain ? "r:" : "") + m.payload;
        }
        return found;
    }
    void send(const char* topic, const QByteArray& payload, bool retain = false)
    {
        mosquitto_publish(m_client, nullptr, topic, static_cast<int>(payload.size()),
            payload.constData(), 1, retain);
    }

private:
    mosquitto* m_client;
    std::mutex m_mutex;
    std::vector<Message> m_messages;
};
