#pragma once

#include <QStringList>
#include <string>

namespace tlc {

// Turns a filter text of "description|patterns|description|patterns" pairs,
// patterns separated by ";", into Qt's name filters: "description (p1 p2)".
// A pattern list already written in the description is replaced by the real one.
QStringList QtNameFilters(const std::string& filter);

} // namespace tlc
