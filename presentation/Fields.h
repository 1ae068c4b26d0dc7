#pragma once
// Taking a timeline line apart into its "~" fields. Positions are 1-based and 16-bit; every call
// scans the line from its start. A "~" beyond character 32766 raises an overflow (error 6) from
// each of the three, since no position after it can be held.

#include <QString>
#include <cstdint>

int16_t GetNumFields(const QString& strMessage);
int16_t FieldStart(const QString& strMessage, int16_t n);
// Field iIndex of the line, or "" when the line has fewer than iIndex separators.
QString GetField(int16_t iIndex, const QString& strMessage);
