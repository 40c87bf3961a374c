#include "tools/mftool/Command.h"

namespace mf::tool {

int RunVersion(const Arguments& arguments);

// Each module keeps its subcommands in a file of its own (TextCommands.cpp, ...).
int RunJconv(const Arguments& arguments);
int RunHeaderDecode(const Arguments& arguments);
int RunHeaderEncode(const Arguments& arguments);
int RunPack(const Arguments& arguments);
int RunCheck(const Arguments& arguments);
int RunUnpack(const Arguments& arguments);
int RunMirror(const Arguments& arguments);
int RunSceneCheck(const Arguments& arguments);
int RunMimeDump(const Arguments& arguments);
int RunFetch(const Arguments& arguments);
int RunStore(const Arguments& arguments);
int RunSend(const Arguments& arguments);
int RunQueue(const Arguments& arguments);
int RunSendMail(const Arguments& arguments);
int RunReceive(const Arguments& arguments);
int RunSendOutbox(const Arguments& arguments);
int RunImport(const Arguments& arguments);

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"version", "version                      print the program version", RunVersion},
      {"pack", "pack CHARDIR OUT             pack a character folder into a package file", RunPack},
      {"check", "check FILE                   check a character package (exit 0 when sound)", RunCheck},
      {"unpack", "unpack FILE DIR              unpack a character package into a folder", RunUnpack},
      {"mirror", "mirror CHARDIR               write the mirrored pictures into CHARDIR + \"r\"", RunMirror},
      {"scene-check", "scene-check CHARDIR          which scene lines are valid and whether the character can go out", RunSceneCheck},
      {"jconv", "jconv --to jis|sjis|euc      convert stdin's Japanese code (--detect: print the code)", RunJconv},
      {"header-decode", "header-decode                decode the encoded words of each stdin line", RunHeaderDecode},
      {"header-encode", "header-encode                encode each stdin line as header text", RunHeaderEncode},
      {"mime-dump", "mime-dump FILE [--parts DIR] print the MIME decoder's events (--parts: part data to DIR/n.bin)", RunMimeDump},
      {"fetch", "fetch --host H --port P [--tls | --starttls] --user U --pass PW --out DIR [--delete]  fetch every POP3 message into DIR/MailNo<n>.txt", RunFetch},
      {"store", "store FOLDER list|show N     list a mail folder of $MFMAIL_HOME or show mail N", RunStore},
      {"receive", "receive                      receive the mail of $MFMAIL_HOME's account into its inbox, one line per mail", RunReceive},
      {"send", "send --host H --port P [--tls | --starttls] [--auth USER:PASS] --from ADDR [--from-name NAME] --to LIST [--cc LIST] --subject TEXT [--attach FILE]... [--x-mailer TEXT] [--character-id ID] [--message-id ID] [--pop-before-smtp HOST:PORT:USER:PASS]  send one mail, body (Shift_JIS) from stdin", RunSend},
      {"queue", "queue --to LIST [--cc LIST] --subject TEXT [--attach FILE]... [--character N]  store a mail in $MFMAIL_HOME's outbox as the composition window's \"later\" does, body (Shift_JIS) from stdin", RunQueue},
      {"send-mail", "send-mail --to LIST [--cc LIST] --subject TEXT [--attach FILE]... [--character N]  send a mail with $MFMAIL_HOME's account and file it as sent, body (Shift_JIS) from stdin", RunSendMail},
      {"send-outbox", "send-outbox                  send every outbox mail of $MFMAIL_HOME over one session as \"送信\" does, one line per mail", RunSendOutbox},
      {"import", "import FILE                  take a mail file into $MFMAIL_HOME's inbox as the mail list's import does", RunImport},
  };
  return commands;
}

}  // namespace mf::tool
