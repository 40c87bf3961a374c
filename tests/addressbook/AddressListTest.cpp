#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addressbook/AddressList.h"
#include "base/ShiftJis.h"
#include "mail/send/Recipients.h"

namespace mf {
namespace {

std::vector<std::string> Names(const std::vector<AddressRow>& rows) {
  std::vector<std::string> names;
  for (const auto& row : rows) names.push_back(row.record.name);
  return names;
}

TEST(AddressList, NewestFirstAndEachColumnSortsDescendingFirst) {
  std::vector<AddressRecord> records = {
      {"alice", "z@x", "3", 0}, {"Bob", "a@x", "1", 1}, {"carol", "m@x", "2", 2}};
  auto rows = ListRows(records);
  EXPECT_EQ(Names(rows), (std::vector<std::string>{"carol", "Bob", "alice"}));
  EXPECT_EQ(rows[0].index, 2u);

  AddressListSorter sorter;
  struct Click {
    AddressColumn column;
    std::vector<std::string> names;
  };
  const std::vector<Click> clicks = {
      {AddressColumn::Name, {"carol", "Bob", "alice"}},
      {AddressColumn::Name, {"alice", "Bob", "carol"}},
      {AddressColumn::Contact, {"alice", "carol", "Bob"}},  // by the contact text, descending
      {AddressColumn::Address, {"alice", "carol", "Bob"}},
      {AddressColumn::Address, {"Bob", "carol", "alice"}},
      {AddressColumn::Contact, {"Bob", "carol", "alice"}},
  };
  for (const Click& click : clicks) {
    EXPECT_TRUE(sorter.SortByColumn(click.column, rows));
    EXPECT_EQ(Names(rows), click.names) << static_cast<int>(click.column);
  }
  EXPECT_FALSE(sorter.SortByColumn(AddressColumn::Icon, rows));
  EXPECT_EQ(Names(rows), (std::vector<std::string>{"Bob", "carol", "alice"}));
  // Rows keep their record index through every sort.
  for (const auto& row : rows) EXPECT_EQ(records[row.index].name, row.record.name);
}

TEST(RecipientList, PicksInOrderAndRemovesTheChosenItems) {
  RecipientList list;
  EXPECT_EQ(list.Text(), "");
  list.Add({Sj("山田"), "y@x.jp", "", 2});
  list.Add({"Bob", "b@x", "", 0});
  list.Add({"", "c@x", "", 0});
  list.Add({"Doe, John", "j@x", "", 0});
  EXPECT_EQ(list.Text(), Sj("山田") + " <y@x.jp>, Bob <b@x>, c@x, \"Doe, John\" <j@x>");
  EXPECT_EQ(list.Items()[0].icon, 2);

  // The composition reads the picked text back into the same recipients:
  // a name with a comma stays one.
  EXPECT_EQ(ParseRecipients(list.Text()),
            (std::vector<Recipient>{{Sj("山田"), "y@x.jp"}, {"Bob", "b@x"}, {"", "c@x"}, {"Doe, John", "j@x"}}));

  // A picked text edited by hand to a bare comma still reads whole.
  EXPECT_EQ(ParseRecipients("Bob <b@x>,<c@x>"), (std::vector<Recipient>{{"Bob", "b@x"}, {"", "c@x"}}));

  list.Remove({1, 3});  // the selected ones, not the first
  EXPECT_EQ(list.Text(), Sj("山田") + " <y@x.jp>, c@x");
  list.Remove({5, 0, 0});
  EXPECT_EQ(list.Text(), "c@x");
  list.Clear();
  EXPECT_TRUE(list.Empty());
}

}  // namespace
}  // namespace mf
