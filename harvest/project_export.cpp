#include "harvest/project_export.h"

#include <memory>
#include <string_view>
#include <vector>

#include "app/minus_words.h"
#include "base/cp1251.h"

namespace kv::harvest {

int64_t ExportProject(ProjectStore& store, const std::string& path, ExportFormat format, int64_t minimum_count,
                      char csv_separator) {
  const MinusWords minus(store.MinusWordList());
  std::vector<std::string> header = {std::string("Кейворд"_w1251), std::string("Всего запросов"_w1251),
                                     std::string("Сид"_w1251), std::string("Глубина"_w1251)};
  ExportOptions options;
  options.csv_separator = csv_separator;
  options.text_count_column = 1;
  options.text_keyword_column = 0;
  std::unique_ptr<TableWriter> writer = OpenTableWriter(path, format, std::move(header), options);
  int64_t rows = 0;
  store.ForEachResult(minimum_count, [&](const ResultRecord& result) {
    // Words added after the keywords were kept still leave them out.
    if (minus.Matches(result.keyword)) return;
    const ExportCell cells[] = {std::string_view(result.keyword), result.count, std::string_view(result.seed),
                                static_cast<int64_t>(result.depth)};
    writer->AddRow(cells);
    ++rows;
  });
  writer->Finish();
  return rows;
}

}  // namespace kv::harvest
