// The history file as any program may have left it, and a record made of
// any texts: reading never reaches outside the text, fields keep their
// widths, and a record written is read back as exactly one event.
#include "command_text.h"
#include "date_text.h"
#include "fuzz_support.h"
#include "history_lines.h"
#include "type_codes.h"

using namespace sentrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string whole(reinterpret_cast<const char*>(data), size);
  for (const HistoryEvent& event : ParseHistory(whole)) {
    FUZZ_CHECK(event.date.size() < 32 && event.title.size() < 128);
    FUZZ_CHECK(event.path.size() <= kHistoryRecordWidth && event.data.size() < static_cast<size_t>(kPathWidth));
    FUZZ_CHECK(event.action.find('\n') == std::string::npos);
    // A type name not in the table reads as the unknown type, never as
    // another (the name as the callers hand it on: up to a NUL).
    FUZZ_CHECK(event.typeCode == kTypeUnknown || std::string(event.type.c_str()) == TypeName(event.typeCode));
  }

  FuzzInput input(data, size);
  const int type = input.Number(256) * 16, action = input.Number(40);
  const std::string title = input.Text(), path = input.Text(), value = input.Rest();
  const std::string record =
      FormatHistoryLine(HistoryDateOf(DateParts{}), title.c_str(), path.c_str(), value.c_str(), type, action);
  FUZZ_CHECK(record.size() <= kHistoryRecordWidth);
  FUZZ_CHECK(record.size() >= 2 && record.compare(record.size() - 2, 2, "\r\n") == 0);
  const std::vector<HistoryEvent> back = ParseHistory(record);
  FUZZ_CHECK(back.size() == 1 && back[0].actionCode == ActionOfName(ActionName(action)));
  FUZZ_CHECK(back[0].typeCode == TypeOfName(TypeName(type)));

  // A record that needed no cut reads back as written, its tabs and line
  // breaks as blanks (the texts end at a NUL, as the callers hand them).
  auto written = [](const std::string& text) {
    std::string field = text.c_str();
    for (char& c : field)
      if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    return field;
  };
  const std::string t = written(title), p = written(path), d = written(value);
  if (record.size() ==
      back[0].date.size() + back[0].action.size() + back[0].type.size() + t.size() + p.size() + d.size() + 7) {
    FUZZ_CHECK(back[0].title == (t.size() < 128 ? t : std::string()));
    FUZZ_CHECK(back[0].path == p);
    FUZZ_CHECK(back[0].data == d.substr(0, kPathWidth - 1));
  }
  return 0;
}
