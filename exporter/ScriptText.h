#pragma once
// Text and data written into the scripts of a web page: whatever a medium holds must read back as
// the same string, and never end the script early. Inside a script "</" could close the script
// element and U+2028/U+2029 end a line in older engines, so both are escaped wherever a page
// carries text; this is the one place that knows it.

#include <QByteArray>
#include <QJsonDocument>
#include <QStringView>

namespace exporter {

// Appends text as a JSON string that may stand in a script (line and paragraph separators
// escaped, no "</"), in UTF-8.
void AppendScriptString(QByteArray& out, QStringView text);

// A JSON document as a script can carry it: the same JSON, with "</" and the two line
// separators escaped.
QByteArray ScriptJson(const QJsonDocument& document);

}  // namespace exporter
