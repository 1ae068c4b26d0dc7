#include "tests/support/PostgresServer.h"

#include <libpq-fe.h>
#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

namespace testsupport {

namespace {

// The newest server's programs: pg_config's own folder, else Debian's versioned folders.
QString ServerBinFolder() {
  QStringList candidates;
  QProcess config;
  config.start(QStringLiteral("pg_config"), {QStringLiteral("--bindir")});
  if (config.waitForFinished(10000) && config.exitCode() == 0)
    candidates << QString::fromLocal8Bit(config.readAllStandardOutput()).trimmed();
  QDir versions(QStringLiteral("/usr/lib/postgresql"));
  QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  std::sort(found.begin(), found.end(),
            [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
  for (const QString& v : found) candidates << versions.filePath(v) + QStringLiteral("/bin");
  for (const QString& c : candidates) {
    if (QFileInfo(c + QStringLiteral("/initdb")).isExecutable() &&
        QFileInfo(c + QStringLiteral("/postgres")).isExecutable())
      return c;
  }
  return QString();
}

bool Run(const QStringList& command, QString* output) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(command.front(), command.mid(1));
  const bool ok =
      p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  if (output) *output = QString::fromLocal8Bit(p.readAll());
  return ok;
}

}  // namespace

PostgresServer::PostgresServer() = default;

PostgresServer::~PostgresServer() {
  Stop();
}

QString PostgresServer::SocketFolder() const {
  return dir_.path() + QStringLiteral("/socket");
}

QString PostgresServer::Uri(const QString& database) const {
  return QStringLiteral("postgresql:///%1?host=%2&user=ambrel").arg(database, SocketFolder());
}

QStringList PostgresServer::AsServerUser(const QString& program, const QStringList& args) const {
  if (user_.isEmpty()) return QStringList{program} + args;
  // setpriv runs the program itself (no shell, no second process), so stopping it stops it.
  return QStringList{QStringLiteral("setpriv"),
                     QStringLiteral("--reuid=") + user_,
                     QStringLiteral("--regid=") + user_,
                     QStringLiteral("--init-groups"),
                     QStringLiteral("--"),
                     program} +
         args;
}

bool PostgresServer::Init(QString* why) {
  if (!dir_.isValid()) {
    *why = QStringLiteral("no temporary folder");
    return false;
  }
  bin_ = ServerBinFolder();
  if (bin_.isEmpty()) {
    *why = QStringLiteral("PostgreSQL's server programs are not installed (Debian: postgresql)");
    return false;
  }
  if (::geteuid() == 0) {
    // The server refuses to run as root: its own user where Debian made one, else nobody.
    for (const char* name : {"postgres", "nobody"}) {
      if (const passwd* pw = ::getpwnam(name)) {
        user_ = QString::fromLatin1(name);
        for (const QString& path : {dir_.path()}) {
          if (::chown(QFile::encodeName(path).constData(), pw->pw_uid, pw->pw_gid) != 0) {
            *why = QStringLiteral("cannot hand %1 to %2").arg(path, user_);
            return false;
          }
        }
        break;
      }
    }
    if (user_.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty()) {
      *why = QStringLiteral("running as root with no user to run the server as (setpriv)");
      return false;
    }
  }
  QString output;
  if (!Run(AsServerUser(QStringLiteral("mkdir"), {SocketFolder()}), &output) ||
      !Run(AsServerUser(bin_ + QStringLiteral("/initdb"),
                        {QStringLiteral("-D"), dir_.path() + QStringLiteral("/data"),
                         QStringLiteral("-U"), QStringLiteral("ambrel"), QStringLiteral("-A"),
                         QStringLiteral("trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                         QStringLiteral("--no-locale"), QStringLiteral("--no-sync")}),
           &output)) {
    *why = QStringLiteral("initdb failed: %1").arg(output.right(2000));
    return false;
  }
  initialised_ = true;
  return true;
}

bool PostgresServer::Start(QString* why) {
  if (!initialised_ && !Init(why)) return false;
  const QStringList command = AsServerUser(
      bin_ + QStringLiteral("/postgres"),
      {QStringLiteral("-D"), dir_.path() + QStringLiteral("/data"), QStringLiteral("-k"),
       SocketFolder(), QStringLiteral("-c"), QStringLiteral("listen_addresses="),
       QStringLiteral("-c"), QStringLiteral("fsync=off"), QStringLiteral("-c"),
       QStringLiteral("max_connections=60"), QStringLiteral("-c"),
       QStringLiteral("shared_buffers=64MB")});
  server_ = std::make_unique<QProcess>();
  server_->setProcessChannelMode(QProcess::MergedChannels);
  server_->setStandardOutputFile(dir_.path() + QStringLiteral("/server.log"));
  server_->start(command.front(), command.mid(1));
  if (!server_->waitForStarted(10000)) {
    *why = QStringLiteral("the server did not start: %1").arg(server_->errorString());
    return false;
  }
  const QByteArray conninfo = Uri(QStringLiteral("postgres")).toUtf8();
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 60000) {
    if (PQping(conninfo.constData()) == PQPING_OK) return true;
    if (server_->state() == QProcess::NotRunning) break;
    QThread::msleep(100);
  }
  QFile log(dir_.path() + QStringLiteral("/server.log"));
  log.open(QIODevice::ReadOnly);
  *why = QStringLiteral("the server did not answer: %1")
             .arg(QString::fromLocal8Bit(log.readAll().right(2000)));
  return false;
}

bool PostgresServer::Running() const {
  return server_ && server_->state() != QProcess::NotRunning;
}

void PostgresServer::Stop() {
  if (!server_) return;
  if (server_->state() != QProcess::NotRunning) {
    // Immediate shutdown: the connections are cut as when a server goes away.
    ::kill(pid_t(server_->processId()), SIGQUIT);
    if (!server_->waitForFinished(30000)) {
      server_->kill();
      server_->waitForFinished(10000);
    }
  }
  server_.reset();
}

QString PostgresServer::Scalar(const QString& database, const QString& sql, QString* error) {
  PGconn* c = PQconnectdb(Uri(database).toUtf8().constData());
  QString value;
  if (PQstatus(c) != CONNECTION_OK) {
    if (error) *error = QString::fromUtf8(PQerrorMessage(c));
  } else {
    PGresult* r = PQexec(c, sql.toUtf8().constData());
    const ExecStatusType s = PQresultStatus(r);
    if (s != PGRES_TUPLES_OK && s != PGRES_COMMAND_OK) {
      if (error) *error = QString::fromUtf8(PQresultErrorMessage(r));
    } else if (PQntuples(r) > 0 && PQnfields(r) > 0) {
      value = QString::fromUtf8(PQgetvalue(r, 0, 0));
    }
    PQclear(r);
  }
  PQfinish(c);
  return value;
}

bool PostgresServer::CreateDatabase(const QString& name, QString* error) {
  QString e;
  Scalar(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE \"%1\"").arg(name), &e);
  if (error) *error = e;
  return e.isEmpty();
}

}  // namespace testsupport
