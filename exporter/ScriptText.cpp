#include "exporter/ScriptText.h"

namespace exporter {

void AppendScriptString(QByteArray& out, QStringView text) {
  out += '"';
  const char16_t* s = text.utf16();
  const qsizetype n = text.size();
  qsizetype i = 0;
  while (i < n) {
    const char16_t u = s[i];
    if (u >= 0x80) {
      qsizetype j = i;
      while (j < n && s[j] >= 0x80 && s[j] != 0x2028 && s[j] != 0x2029) ++j;
      if (j > i) {
        out += QStringView(s + i, j - i).toUtf8();
        i = j;
      } else {
        out += u == 0x2028 ? "\\u2028" : "\\u2029";
        ++i;
      }
      continue;
    }
    switch (u) {
      case u'"':
        out += "\\\"";
        break;
      case u'\\':
        out += "\\\\";
        break;
      case u'\n':
        out += "\\n";
        break;
      case u'\r':
        out += "\\r";
        break;
      case u'\t':
        out += "\\t";
        break;
      case u'/':
        out += "\\/";
        break;
      default:
        if (u < 0x20) {
          out += "\\u00";
          out += "0123456789abcdef"[u >> 4];
          out += "0123456789abcdef"[u & 15];
        } else {
          out += char(u);
        }
    }
    ++i;
  }
  out += '"';
}

QByteArray ScriptJson(const QJsonDocument& document) {
  QByteArray json = document.toJson(QJsonDocument::Indented);
  json.replace("</", "<\\/");
  json.replace("\xE2\x80\xA8", "\\u2028");
  json.replace("\xE2\x80\xA9", "\\u2029");
  return json.trimmed();
}

}  // namespace exporter
