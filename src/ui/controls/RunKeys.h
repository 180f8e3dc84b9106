#pragma once

#include <optional>

namespace zelvane {

// Where Home, End, Page Up and Page Down lead in a run of `count` items
// (pages, rows) whose current one is `current` (-1: none): the first, the
// last, the next and the previous item. From none, Page Down starts at the
// first item and Page Up at the last. Nothing for any other key. The target
// may lie past either end; the caller keeps to the run.
std::optional<int> runKeyTarget(int key, int current, int count);

}  // namespace zelvane
