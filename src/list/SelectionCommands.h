#pragma once

#include <QString>

class ListOwner;

// The commands that change the check marks of a window's list, or empty it. Each is guarded under
// the location given by the window that runs it.
namespace SelectionCommands {

enum class Search { Containing, NotContaining };

void checkAll(ListOwner& owner, const QString& location);
void uncheckAll(ListOwner& owner, const QString& location);
// Empties the list; the record store is left as it is.
void clearList(ListOwner& owner, const QString& location);
// Asks "Enter X:" and checks the rows whose From, Subject or Received Date text contains X (or, for
// NotContaining, none of them does), ignoring letter case. A run that starts with the owner's
// CheckSearchActive False unchecks every row before its test; a match sets the flag, so the runs
// after it only add check marks and successive searches build a union.
void checkMatching(ListOwner& owner, Search search, const QString& location);

// Whether x occurs in text, ignoring letter case by the locale's rules; an empty text contains
// nothing, not even an empty x.
bool containsText(const QString& text, const QString& x);

} // namespace SelectionCommands
