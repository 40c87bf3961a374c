// Whether the desktop has an application for a kind of file, read from
// desktop entries and mimeapps.list files in folders of the test's own.

#include "platform/qt/DesktopApplications.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <map>
#include <string>

#include "platform/Files.h"

namespace mf::platform {
namespace {

struct AppCase {
  const char* name;
  std::map<std::string, std::string> files;  // below the test folder: path -> content
  QStringList types;
  bool found;
};

class DesktopApplicationsTest : public ::testing::TestWithParam<AppCase> {
 protected:
  QString Folder(const char* name) const { return QString::fromStdString(NativePath(root_.Path())) + name; }
  platform::TemporaryFolder root_;
};

constexpr const char* kViewer = "[Desktop Entry]\nType=Application\nName=Viewer\nExec=viewer %f\n"
                                "MimeType=text/plain;image/png;\n";

TEST_P(DesktopApplicationsTest, FindsAnApplicationOnlyWhereTheRulesGiveOne) {
  const AppCase& c = GetParam();
  for (const auto& [path, content] : c.files) {
    const QString full = Folder("") + QString::fromStdString(path);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(full).path()));
    QFile file(full);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content.data(), static_cast<qint64>(content.size()));
  }
  EXPECT_EQ(HasDesktopApplication(c.types, {Folder("config"), Folder("etc")}, {Folder("home"), Folder("usr")}),
            c.found);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DesktopApplicationsTest,
    ::testing::Values(
        AppCase{"Nothing", {}, {"text/plain"}, false},
        AppCase{"EntryNamesTheType", {{"usr/applications/viewer.desktop", kViewer}}, {"image/png"}, true},
        AppCase{"EntryNamesAnotherType", {{"usr/applications/viewer.desktop", kViewer}}, {"application/pdf"}, false},
        AppCase{"EntryNamesAParentType",
                {{"usr/applications/viewer.desktop", kViewer}},
                {"text/x-csrc", "text/plain"},
                true},
        AppCase{"HiddenEntry",
                {{"home/applications/viewer.desktop", std::string(kViewer) + "Hidden=true\n"}},
                {"text/plain"},
                false},
        AppCase{"AddedAssociationInASubfolder",
                {{"usr/applications/kde4/reader.desktop", "[Desktop Entry]\nName=Reader\nExec=reader\n"},
                 {"config/mimeapps.list", "[Added Associations]\napplication/pdf=kde4-reader.desktop;\n"}},
                {"application/pdf"},
                true},
        AppCase{"DefaultOfAnEntryNotInstalled",
                {{"etc/mimeapps.list", "[Default Applications]\napplication/pdf=gone.desktop\n"}},
                {"application/pdf"},
                false},
        AppCase{"RemovedAssociation",
                {{"usr/applications/viewer.desktop", kViewer},
                 {"home/applications/mimeapps.list", "[Removed Associations]\nimage/png=viewer.desktop;\n"}},
                {"image/png"},
                false},
        AppCase{"RemovedForOneTypeOnly",
                {{"usr/applications/viewer.desktop", kViewer},
                 {"home/applications/mimeapps.list", "[Removed Associations]\nimage/png=viewer.desktop;\n"}},
                {"image/png", "text/plain"},
                true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mf::platform
