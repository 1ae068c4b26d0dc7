#include "launcher/WebLink.h"

#include <QDesktopServices>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>
#include <QWidget>

#ifndef MAKER_WEB_ADDRESS
#define MAKER_WEB_ADDRESS "https://www.example.com/"
#endif

namespace launcher {

QString MakerWebAddress() {
  return QStringLiteral(MAKER_WEB_ADDRESS);
}

namespace {

// An opener still running after this long has started the browser itself and waits for it: the
// page is open, and how that browser ends later says nothing about opening it.
constexpr qint64 kAnswerWithinMs = 10000;

QString DefaultOpener() {
#if defined(Q_OS_MACOS)
  return QStringLiteral("open");
#elif defined(Q_OS_WIN)
  return QString();
#else
  return QStringLiteral("xdg-open");
#endif
}

QString FindProgram(const QString& opener) {
  if (opener.contains(u'/')) {
    const QFileInfo info(opener);
    return info.isFile() && info.isExecutable() ? info.absoluteFilePath() : QString();
  }
  return QStandardPaths::findExecutable(opener);
}

}  // namespace

DesktopWebOpener::DesktopWebOpener(QString opener)
    : opener_(opener.isEmpty() ? DefaultOpener() : std::move(opener)) {}

int OpenerResult(bool crashed, int exitCode) {
  if (crashed) return kOpenFailed;
  if (exitCode == 0) return kOpenSucceeded;
  if (exitCode == 3) return kNoAssociation;
  return kOpenFailed;
}

void DesktopWebOpener::Open(const QString& address, QWidget* owner, Done done) {
  const QUrl url(address, QUrl::StrictMode);
  if (!url.isValid() || url.scheme().isEmpty()) {
    done(kFileNotFound);
    return;
  }
  if (opener_.isEmpty()) {
    // The shell opens addresses itself where there is no opener program to ask.
    done(QDesktopServices::openUrl(url) ? kOpenSucceeded : kOpenFailed);
    return;
  }
  const QString program = FindProgram(opener_);
  if (program.isEmpty()) {
    done(kFileNotFound);
    return;
  }
  // Not a child of the window: the opener may be running the browser, which must outlive the
  // launcher.
  auto* process = new QProcess;
  process->setProgram(program);
  process->setArguments({url.toString(QUrl::FullyEncoded)});
  process->setProcessChannelMode(QProcess::ForwardedChannels);
  process->setStandardInputFile(QProcess::nullDevice());
  const QPointer<QWidget> window(owner);
  const bool hasOwner = owner != nullptr;
  QElapsedTimer clock;
  clock.start();
  auto answer = [window, hasOwner, done](int result) {
    if (hasOwner && !window) return;
    done(result);
  };
  QObject::connect(process, &QProcess::errorOccurred, process,
                   [process, answer](QProcess::ProcessError error) {
                     if (error != QProcess::FailedToStart) return;
                     process->deleteLater();
                     answer(kFileNotFound);
                   });
  QObject::connect(process, &QProcess::finished, process,
                   [process, answer, clock](int exitCode, QProcess::ExitStatus status) {
                     process->deleteLater();
                     if (clock.elapsed() > kAnswerWithinMs) return;
                     answer(OpenerResult(status == QProcess::CrashExit, exitCode));
                   });
  process->start();
}

std::optional<medium::Message> WebLinkMessage(int result, const QString& title,
                                              const QString& address) {
  const QString caption = QStringLiteral("Browser Unavailable");
  if (result < kNoAssociation) {
    return medium::Message{
        caption,
        title + QStringLiteral(" had a problem running your web browser.") +
            QStringLiteral("Please check that your browser is properly installed."),
        medium::MessageIcon::Exclamation};
  }
  if (result == kNoAssociation) {
    return medium::Message{
        caption,
        title + QStringLiteral(" could not find a file association for ") + address +
            QStringLiteral(". Please check that your browser is properly installed") +
            QStringLiteral("and associated with this file type."),
        medium::MessageIcon::Exclamation};
  }
  return std::nullopt;
}

}  // namespace launcher
