#pragma once
// A project's results as a table: keyword, count, seed, depth, by count
// from the largest, then by keyword in the list sort's order. Keywords
// kept before a minus word that they hold was added are left out.
#include <cstdint>
#include <string>

#include "app/export/table_export.h"
#include "harvest/project_store.h"

namespace kv::harvest {

// Writes the results with a count of at least `minimum_count` to `path`;
// the number of rows. Failures as OpenTableWriter's.
int64_t ExportProject(ProjectStore& store, const std::string& path, ExportFormat format, int64_t minimum_count,
                      char csv_separator = ';');

}  // namespace kv::harvest
