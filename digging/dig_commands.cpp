// The three digging commands: each fetches the service's form page, builds
// the query address from its hidden fields and the keyword, then reads
// result pages into the grid and the text list.
#include "base/cp1251.h"
#include "base/exception.h"
#include "base/int_conversion.h"
#include "digging/form_main.h"
#include "digging/page_readers.h"
#include "digging/service_client.h"
#include "http/http_client.h"

namespace kv {

namespace {

// The Broad command reads one page into the rows below the header.
constexpr int kBroadFirstRow = 1;

constexpr std::string_view kPageTooLarge = "Text exceeds memo capacity";

// A grid row and a text-list line ("COUNT   -   KEYWORD") per row, the
// grid's rows from `next_row` on. Returns the row after the last one.
int AddRows(const std::vector<ResultRow>& rows, TStringGrid& grid, TMemo& list, int next_row) {
  std::string list_line;
  for (const ResultRow& row : rows) {
    grid.SetRowCount(grid.RowCount() + 1);
    grid.SetCell(0, next_row, row.keyword);
    grid.SetCell(1, next_row, row.count);
    ++next_row;
    list_line.clear();
    AppendListLine(list_line, row.count, row.keyword);
    list.Append(list_line);
  }
  return next_row;
}

}  // namespace

// A fresh page stream. It refuses to grow past what the page text holds, so
// an endless body cannot exhaust memory; a page refused so is too large for
// the page text, which is found out when the page is loaded into it.
class PageStream : public MemoryStream {
 public:
  PageStream() : MemoryStream(kPageTextCapacity, std::string(kPageTooLarge)) {}

  size_t Write(const void* buffer, size_t count) override {
    try {
      return MemoryStream::Write(buffer, count);
    } catch (const EOutOfResources&) {
      too_large_ = true;
      throw;
    }
  }
  void SetSize(int64_t size) override {
    try {
      MemoryStream::SetSize(size);
    } catch (const EOutOfResources&) {
      too_large_ = true;
      throw;
    }
  }

  bool TooLarge() const { return too_large_; }

 private:
  bool too_large_ = false;
};

void TFormMain::FetchPage(const std::string& url, PageStream& page) {
  try {
    id_http1_->Get(url, &page);
  } catch (const EIdSocketError&) {
    StatusBar1.SetSimpleText("Проверьте связь с Интернетом!"_w1251);
  } catch (const EOutOfResources&) {
    // The page's own refusal ends the fetch; loading the page fails for it.
    if (!page.TooLarge()) throw;
  }
}

void TFormMain::LoadPage(PageStream& page) {
  if (page.TooLarge()) throw EOutOfResources(std::string(kPageTooLarge));
  page.Seek(0, SeekOrigin::Beginning);
  Memo1.LoadFromStream(page);
}

void TFormMain::FetchResultPage(const std::string& address, int page_number) {
  PageStream page;
  FetchPage(address, page);
  LoadPage(page);
  StatusBar1.SetSimpleText(std::string("Обработана страница "_w1251) + IntToStr(page_number));
  StatusBar1.Repaint();
}

void TFormMain::ShowFinalStatus() {
  StatusBar1.SetSimpleText(std::string("Выполнено - получено "_w1251) +
                           IntToStr(static_cast<int64_t>(MemoArea.LineCount())) + std::string(" кейвордов"_w1251));
}

std::string TFormMain::BuildQueryAddress() {
  {
    PageStream page;
    FetchPage(FormPageAddress(service_url_), page);
    StatusBar1.SetSimpleText("Связь установлена ..."_w1251);
    LoadPage(page);
  }
  std::string address = QueryAddress(service_url_, Memo1, EditKw.Text());
  Memo1.Clear();
  return address;
}

void TFormMain::DigPages(std::string address, TableKind table, int page_limit, int minimum_count, int next_row) {
  int pages = 0;
  while (!address.empty()) {
    FetchResultPage(address, ++pages);
    const ResultPage page = ReadResultPage(Memo1, table);
    if (!page.has_table) {
      StatusBar1.SetSimpleText("Не найдено кейвордов"_w1251);
      return;
    }
    next_row = AddRows(page.rows, StrGrid1, MemoArea, next_row);

    if (StrToInt(page.LastCount()) < minimum_count || pages == page_limit) break;
    address = page.next_target ? service_url_ + *page.next_target : std::string();
  }
  ShowFinalStatus();
}

void TFormMain::DigButtClick() {
  if (EditKw.Text().empty()) {
    StatusBar1.SetSimpleText("Не указан кейворд"_w1251);
    return;
  }
  const int page_limit = SpinEdMaxKw.Value();
  const int minimum_count = SpinEdKwPM.Value();
  const int next_row = StrGrid1.RowCount();
  StatusBar1.SetSimpleText("");
  DigPages(BuildQueryAddress(), TableKind::kGet, page_limit, minimum_count, next_row);
}

void TFormMain::DeepButtClick() {
  const int row = StrGrid1.Row();
  if (row == 0) {
    StatusBar1.SetSimpleText("Не указан кейворд для поиска вглубь"_w1251);
    return;
  }
  // An empty cell is dug as an empty keyword.
  EditKw.SetText(StrGrid1.Cell(0, row));
  const int page_limit = SpinEdMaxKw.Value();
  const int minimum_count = SpinEdKwPM.Value();
  const int next_row = StrGrid1.RowCount();
  DigPages(BuildQueryAddress(), TableKind::kDeep, page_limit, minimum_count, next_row);
}

void TFormMain::BroadButtClick() {
  if (EditKw.Text().empty()) {
    StatusBar1.SetSimpleText("Не указан кейворд"_w1251);
    return;
  }
  StatusBar1.SetSimpleText("");
  const std::string address = BuildQueryAddress();
  MemoArea.Clear();

  FetchResultPage(address, 1);
  const ResultPage page = ReadResultPage(Memo1, TableKind::kBroad);
  if (!page.has_table) {
    StatusBar1.SetSimpleText("Не найдено кейвордов"_w1251);
    return;
  }
  AddRows(page.rows, StrGrid1, MemoArea, kBroadFirstRow);
  // Paging stops here whatever the count, a page limit of one being
  // reached; the count is still read, so one that is no number fails.
  (void)StrToInt(page.LastCount());
  ShowFinalStatus();
}

}  // namespace kv
