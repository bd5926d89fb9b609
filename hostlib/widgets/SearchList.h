#pragma once

#include <QString>
#include <QStringList>

namespace prx {

class DataSource;

// The text a multiple-choice search writes for its chosen keys: each key as
// "_" followed by the key padded with blanks to 10 characters, one after the
// other ("_0001      _0002      "). The readers of these lists take the 10
// characters after each "_", so a key is never cut: a longer one is written
// whole rather than turned into another key.
QString listText(const QStringList &keys);

// The keys of a list text, without their padding. A text without any "_" is
// one key by itself (a single code typed into an edit).
QStringList listKeys(const QString &list);

// True when every key of the list is the value of keyField in some row of the
// source's dataset (rows in view; the current row does not move). The first
// missing key goes to *bad. An empty list has nothing missing.
bool ValidEx(DataSource &source, const QString &keyField, const QString &list,
             QString *bad = nullptr);

} // namespace prx
