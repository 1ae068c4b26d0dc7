#pragma once
// Pictures that load but show wrongly: a JPEG cut short is shown with its lower part grey and a
// damaged one with garbled blocks, and the players' picture loader says nothing about either.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace checker {

// While it lives, what the picture decoder warns on this thread is collected here instead of
// being printed: the decoder conceals damage and only warns. Scopes nest; each thread has its
// own, so pictures may be checked on several threads at once.
class DecoderWarnings {
 public:
  DecoderWarnings();
  ~DecoderWarnings();
  DecoderWarnings(const DecoderWarnings&) = delete;
  DecoderWarnings& operator=(const DecoderWarnings&) = delete;
  const QStringList& Texts() const { return texts_; }
  void Add(const QString& text) { texts_ << text; }

 private:
  QStringList texts_;
  DecoderWarnings* outer_ = nullptr;
};

// What is wrong with the bytes of a picture that loads: "cut short ..." when a JPEG ends before
// its end marker, "damaged ..." when the decoder meets corrupt data. Empty when it is whole.
// Decodes the picture completely.
QString PictureDamage(const QByteArray& bytes);

}  // namespace checker
