#include "mail/receive/CharacterArrival.h"

#include <gtest/gtest.h>

#include "base/Base64.h"
#include "character/CharacterPackage.h"
#include "mail/receive/InboxIntake.h"
#include "mail/store/AttachmentNames.h"
#include "tests/mail/receive/ReceiveFixture.h"
#include "tests/roster/CharacterFolders.h"

namespace mf {
namespace {

using testing::ReceiveFixture;

class CharacterArrivalTest : public ReceiveFixture {
 protected:
  // A package of a character "Pochi" with id `id`, made in a scratch folder.
  std::string MakePackage(const std::string& id) {
    testing::CharacterSetup setup;
    setup.folderName = "source";
    setup.id = id;
    setup.name = "Pochi";
    setup.scenes = testing::StandingScenes();
    testing::MakeCharacter(scratch.Path(), setup);
    const std::string package = scratch.Path() + std::string(kPackageFileName);
    EXPECT_TRUE(PackCharacter(scratch.Path() + "source", package));
    return package;
  }

  void SendSentMail(const std::string& messageId, const std::string& character) {
    BodyRecord record;
    record.fields = {{"Subject: ", "question"}, {"To: ", "friend@x"}, {"Message-ID: ", messageId},
                     {"X-Character: ", character}};
    record.text = "what time?\r\n";
    ASSERT_EQ(store.AppendMail(FolderKind::Sent, HeaderRecord{Sj("送信済み"), "question", "me", "d", "friend@x", ""},
                               record),
              StoreResult::Done);
  }

  platform::TemporaryFolder scratch;
};

TEST_F(CharacterArrivalTest, AKnownCarriedCharacterPresentsItsMail) {
  hut.charDB = {"1", "<a@x>", "2", "<b@x>"};
  hut.visibleDB = {"<a@x>"};
  const auto choice = SelectDeliveringCharacter(hut, store, "<b@x>", {}, "", "");
  EXPECT_EQ(choice.id, "<b@x>");
  EXPECT_EQ(hut.shown, (std::vector<std::string>{"2 <b@x>"}));
  EXPECT_TRUE(hut.registered.empty());
}

TEST_F(CharacterArrivalTest, ANewCharacterInAPackageArrivesInTheNextFreeFolderPair) {
  platform::CreateFolder(Path("char1"));
  platform::CreateFolder(Path("char1r"));
  const auto choice = SelectDeliveringCharacter(hut, store, "<new@x>", {MakePackage("<new@x>")}, "", "");
  EXPECT_EQ(choice.id, "<new@x>");
  EXPECT_EQ(choice.arrivedFolder, 2);
  EXPECT_EQ(hut.registered, (std::vector<std::string>{"2 <new@x>"}));
  EXPECT_TRUE(platform::FileExists(Path("char2/scene.txt")));
  EXPECT_TRUE(platform::FileExists(Path("char2r/image1r.bmp")));
  EXPECT_TRUE(platform::FileExists(Path("char2r/image2r.bmp")));
}

TEST_F(CharacterArrivalTest, ABrokenPackageLeavesNoFoldersAndFallsBackToAVisibleCharacter) {
  const std::string broken = scratch.Path() + std::string(kPackageFileName);
  platform::WriteFileAtomic(broken, "not a package");
  hut.charDB = {"1", "<a@x>"};
  hut.visibleDB = {"<a@x>"};
  const auto choice = SelectDeliveringCharacter(hut, store, "<new@x>", {broken}, "", "");
  EXPECT_EQ(choice.id, "<a@x>");
  EXPECT_EQ(choice.arrivedFolder, 0);
  EXPECT_FALSE(platform::DirectoryExists(Path("char1")));
  EXPECT_FALSE(platform::DirectoryExists(Path("char1r")));
}

TEST_F(CharacterArrivalTest, AReplyWithoutCharacterIsPresentedByTheCarrierOfTheAnsweredMail) {
  hut.charDB = {"1", "<a@x>", "7", "<carrier@x>"};
  hut.visibleDB = {"<a@x>"};
  SendSentMail("<other@x>", "<a@x>");
  SendSentMail("<q1@x>", "<carrier@x>");
  const struct {
    const char* name;
    std::string references;
    std::string inReplyTo;
    bool byReference;
  } cases[] = {
      {"in-reply-to", "", " <q1@x>", false},
      {"last reference", "<zz@x>, <q1@x> <nothing@x>", "", true},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    const auto choice = SelectDeliveringCharacter(hut, store, "", {}, test.references, test.inReplyTo);
    EXPECT_EQ(choice.id, "<carrier@x>");
    ASSERT_TRUE(choice.answered);
    EXPECT_EQ(choice.answered->title, "question");
    EXPECT_EQ(choice.answered->recipient, "friend@x");
    EXPECT_EQ(choice.answered->bodyLine, "what time?");
    EXPECT_EQ(choice.answered->foundByReference, test.byReference);
  }
}

TEST_F(CharacterArrivalTest, WithoutAnyClueTheFirstVisibleOrKnownCharacterPresents) {
  hut.charDB = {"3", "<c@x>", "4", "<d@x>"};
  EXPECT_EQ(SelectDeliveringCharacter(hut, store, "", {}, "", "").id, "<c@x>");
  hut.visibleDB = {"<d@x>"};
  EXPECT_EQ(SelectDeliveringCharacter(hut, store, "<unknown@x>", {}, "", "").id, "<d@x>");
  hut.charDB.clear();
  hut.visibleDB.clear();
  EXPECT_EQ(SelectDeliveringCharacter(hut, store, "", {}, "", "").id, "");
}

TEST_F(CharacterArrivalTest, AMailCarryingANewCharacterIsStoredUnderItsSceneName) {
  const std::string package = MakePackage("<pochi@x>");
  std::string message = "From: a@x\nX-CharacterID: <pochi@x>\nMessage-ID: <p1@x>\n"
                        "Content-Type: multipart/mixed; boundary=P\n\n--P\n\nhello\n--P\n"
                        "Content-Disposition: attachment; filename=MofutanData.mfd\n"
                        "Content-Transfer-Encoding: base64\n\n";
  const std::string bytes = *platform::ReadFile(package);
  const std::string encoded = Base64Encode(bytes);
  for (std::size_t at = 0; at < encoded.size(); at += 76) message += encoded.substr(at, 76) + "\n";
  message += "--P--\n";
  InboxIntake intake(store, hut, random, clock);
  ArrivedMail arrived;
  ASSERT_EQ(intake.StoreFile(WriteMessage("MailNo1.txt", message), arrived), IntakeResult::Stored);
  EXPECT_EQ(arrived.deliveringId, "<pochi@x>");
  EXPECT_EQ(arrived.arrivedFolder, 1);
  EXPECT_TRUE(arrived.attachments.empty());
  EXPECT_EQ(InboxHeaders()[0].attachmentFolder, "");  // a package alone marks no attachment
  EXPECT_EQ(Field(InboxBody(0), "X-Character: "), "<pochi@x>");
  EXPECT_EQ(hut.registered, (std::vector<std::string>{"1 <pochi@x>"}));
}

}  // namespace
}  // namespace mf
