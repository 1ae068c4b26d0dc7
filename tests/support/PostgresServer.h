#pragma once
// A PostgreSQL server of a test's own: Debian's server programs (initdb, postgres) run into a
// temporary folder, listening only on a Unix socket inside it (no TCP port), as an unprivileged
// user when the tests run as root. Started and stopped by the test; skipped with the reason
// where the server programs are not installed.

#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <memory>

namespace testsupport {

class PostgresServer {
 public:
  PostgresServer();
  ~PostgresServer();
  PostgresServer(const PostgresServer&) = delete;
  PostgresServer& operator=(const PostgresServer&) = delete;

  // Makes the cluster and starts the server; false with why (a reason to skip, or a failure).
  bool Start(QString* why);
  // Stops the server at once (a server that goes away); Start() brings it back on the same
  // folder.
  void Stop();
  bool Running() const;

  // A new database; false with the server's message.
  bool CreateDatabase(const QString& name, QString* error);
  // Runs one statement in a database; the first column of the first row, or an error.
  QString Scalar(const QString& database, const QString& sql, QString* error = nullptr);
  // The address of a database, as --index takes it.
  QString Uri(const QString& database) const;
  // The folder of the socket (the server is reached there only).
  QString SocketFolder() const;

 private:
  bool Init(QString* why);
  QStringList AsServerUser(const QString& program, const QStringList& args) const;

  QTemporaryDir dir_;
  QString bin_;
  QString user_;  // the unprivileged user the server runs as, when the tests are root
  bool initialised_ = false;
  std::unique_ptr<QProcess> server_;
};

}  // namespace testsupport
