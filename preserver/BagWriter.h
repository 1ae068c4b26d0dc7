#pragma once
// The making of one bag in its staging folder, step by step, for PreserveMedium: the walk of the
// medium, the copy with its digests, the descriptions, the masters, the manifests, the check of
// what was written and the tag files. Each group of steps has a file of its own: the walk, the
// copy, the manifests and the tag files in BagWriter.cpp, what the bag says of the medium's
// recordings and presentations in BagDescription.cpp, the masters in BagMasters.cpp. Only the
// preserver's own files include this.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <vector>

#include "presentation/MediumLayout.h"
#include "preserver/PreserveRequest.h"

namespace preserver {

// The bag's software agent, as bag-info and the event log name it.
inline const QString kAgent = QStringLiteral("Ambrel " PROJECT_VERSION_TEXT);

// What was done when, with its outcome: the bag's metadata/premis-events.csv, in the words of
// PREMIS's event types.
class EventLog {
 public:
  void Add(const QString& type, const QString& object, const QString& outcome,
           const QString& detail, const QString& agent = kAgent);
  QByteArray Csv() const;

 private:
  QByteArray rows_;
};

struct MediumFile {
  QByteArray relative;  // '/' separated, the name's bytes as the disc holds them
  qint64 size = 0;
  qint64 modifiedNs = 0;
};

// A file of the payload: its path in the bag (bytes), its SHA-512 and its length.
struct PayloadFile {
  QByteArray path;
  QByteArray sha512;
  qint64 bytes = 0;
  bool operator<(const PayloadFile& other) const { return path < other.path; }
};

// A recording of the medium: Media/<folder>/media.wma, .wmv or .rm, in any case.
struct Recording {
  QString relative;
  QString folder;
  QString file;
  QJsonObject probe;
};

class BagWriter {
 public:
  BagWriter(const QString& root, const PreserveRequest& request, const PreserveProgressFn& progress,
            const std::atomic<bool>* cancel, BagSummary& summary)
      : root_(root), request_(request), progress_(progress), cancel_(cancel), s_(summary) {}

  // Fills the staging folder; false when the bag cannot be made (s_ says why).
  bool Fill(const QString& staging);

 private:
  bool Cancelled() {
    if (cancel_ && cancel_->load()) {
      s_.status = BagSummary::Status::Cancelled;
      return true;
    }
    return false;
  }
  bool Fail(const QString& error) {
    s_.status = BagSummary::Status::Failed;
    s_.error = error;
    return false;
  }
  bool WriteTag(const QString& relative, const QByteArray& bytes);
  bool Walk();
  bool CopyMedium();
  bool Describe();
  bool MakeMasters();
  bool WriteManifest();
  bool CheckPayload();
  bool WriteTagFiles();
  QStringList Titles(const layout::MediumLayout& medium);
  void Report(const PreserveProgress& p) {
    if (progress_) progress_(p);
  }

  const QString root_;
  const PreserveRequest& request_;
  const PreserveProgressFn& progress_;
  const std::atomic<bool>* cancel_;
  BagSummary& s_;
  QString dir_;  // the staging folder
  std::vector<MediumFile> files_;
  std::vector<Recording> recordings_;
  std::vector<PayloadFile> payload_;
  EventLog events_;
  QStringList titles_;
};

}  // namespace preserver
