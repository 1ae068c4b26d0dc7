#include "presentation/ConfigReader.h"

#include "medium/Convert.h"
#include "medium/Paths.h"
#include "presentation/MediumLayout.h"

namespace launcher {

using medium::ReportAndContinue;

void ConfigReader::ReadCount() {
  ReportAndContinue(reporter_, [&] { stream_.emplace(); });
  ReportAndContinue(reporter_, [&] { path_ = medium_.ConfigPath(); });
  ReportAndContinue(reporter_, [&] {
    if (!stream_) throw medium::AppError(medium::kNoOpenFile, QStringLiteral("No open file"));
    stream_->Open(path_);
  });
  ReportAndContinue(reporter_, [&] {
    if (!stream_) throw medium::AppError(medium::kNoOpenFile, QStringLiteral("No open file"));
    firstLine_ = medium::SplitPieces(stream_->ReadLine(), u' ');
  });
  // The first piece and any piece after the second are not used.
  ReportAndContinue(reporter_, [&] { count_ = medium::ToInt16(medium::PieceAt(firstLine_, 1)); });
}

void ConfigReader::ReadField(QString& field) {
  ReportAndContinue(reporter_, [&] {
    if (!stream_) throw medium::AppError(medium::kNoOpenFile, QStringLiteral("No open file"));
    field = stream_->ReadLine();
  });
}

void ConfigReader::Release() {
  ReportAndContinue(reporter_, [&] {
    if (stream_) stream_->Close();
  });
}

bool FillPresentationList(medium::Reporter& reporter, ConfigReader& reader, PresArr_cls& list,
                          const std::function<void(const QString&)>& addEntry) {
  if (reader.IsMulti()) {
    for (int k = 0; k < reader.Count(); ++k) {
      Pres_cls pres;
      reader.ReadField(pres.PresName);
      reader.ReadField(pres.PresDir);
      ReportAndContinue(reporter, [&] { addEntry(pres.PresName); });
      ReportAndContinue(reporter, [&] { list.arr.Add(pres); });
    }
    return true;
  }
  Pres_cls pres;
  reader.ReadField(pres.PresName);
  reader.ReadField(pres.PresDir);
  ReportAndContinue(reporter, [&] { list.arr.Add(pres); });
  return false;
}

PresArr_cls ReadPresentationList(const layout::MediumLayout& medium, medium::Reporter& reporter) {
  ConfigReader reader(medium, reporter);
  reader.ReadCount();
  PresArr_cls list;
  FillPresentationList(reporter, reader, list, [](const QString&) {});
  reader.Release();
  return list;
}

}  // namespace launcher
