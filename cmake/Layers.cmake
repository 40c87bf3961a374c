# Which library may use which: the layer order of README.md's layout table,
# checked at the end of every configure (mfmail_check_layers in
# LayerCheck.cmake) on each library's link libraries and on the
# #include "folder/..." lines of its sources and headers.
#
#   mfmail_layer(<library> FOLDER <folder> [USES <library>...])
#
# A library may use the libraries it names and, through them, every library
# they may use; it never uses one declared after it, so the order cannot
# run in a circle. Libraries without windows never use one with windows.
#
# Folder <-> library is one to one: a header belongs to the library of its
# folder (the longest folder that holds it).

include(${CMAKE_CURRENT_LIST_DIR}/LayerCheck.cmake)

# 1. Helpers without I/O.
mfmail_layer(base FOLDER base)
# 2. What the operating system provides.
mfmail_layer(platform FOLDER platform USES base)
mfmail_layer(platform_x11 FOLDER platform/x11 USES platform)
mfmail_layer(platform_secret FOLDER platform/secret USES platform)
mfmail_layer(platform_gui FOLDER platform/qt WINDOWS USES platform)
# 3. Japanese codes and header words; the MIME decoder.
mfmail_layer(text FOLDER text USES base)
mfmail_layer(mime FOLDER mime USES platform)
# 4. Transport and the mail protocols.
mfmail_layer(net FOLDER net USES platform text)
# 5. The settings file and the live settings.
mfmail_layer(settings FOLDER settings USES net)
# 6. What a character is, the roster of the program's characters, and the
#    editor's rules above them.
mfmail_layer(character FOLDER character USES platform)
mfmail_layer(roster FOLDER roster USES character)
mfmail_layer(charedit FOLDER charedit USES roster)
# 7. Mail, in its parts. Receiving reads the footer that sending writes;
#    answers read stored mail back and write it out as a message.
mfmail_layer(mail_store FOLDER mail/store USES platform text)
mfmail_layer(mail_list FOLDER mail/list USES mail_store)
mfmail_layer(mail_send FOLDER mail/send USES mail_store net settings character)
mfmail_layer(mail_receive FOLDER mail/receive USES mail_send mime roster)
mfmail_layer(mail_answer FOLDER mail/answer USES mail_receive)
# 8. The address book.
mfmail_layer(addressbook FOLDER addressbook USES settings text)
# 9. Widgets shared by several windows, then the windows, each library
#    above the windows it opens.
mfmail_layer(widgets FOLDER widgets WINDOWS USES platform_gui)
mfmail_layer(character_gui FOLDER character/gui WINDOWS USES character platform_gui platform_x11)
mfmail_layer(charedit_gui FOLDER charedit/gui WINDOWS USES charedit character_gui widgets)
mfmail_layer(settings_gui FOLDER settings/gui WINDOWS USES settings widgets)
mfmail_layer(mail_gui FOLDER mail/gui WINDOWS USES mail_answer widgets)
mfmail_layer(mail_send_gui FOLDER mail/send/gui WINDOWS USES mail_gui)
mfmail_layer(mail_receive_gui FOLDER mail/receive/gui WINDOWS USES mail_send_gui)
mfmail_layer(mail_list_gui FOLDER mail/list/gui WINDOWS USES mail_send_gui mail_list)
mfmail_layer(addressbook_gui FOLDER addressbook/gui WINDOWS USES addressbook widgets)
mfmail_layer(hut FOLDER hut USES platform)
mfmail_layer(hut_gui FOLDER hut/gui WINDOWS USES hut character_gui mail_gui platform_x11)
# 10. The program, the only place that wires windows to each other; the
#     command-line tool over the libraries without windows.
mfmail_layer(mfmail_app FOLDER app WINDOWS
  USES hut_gui mail_list_gui mail_receive_gui addressbook_gui charedit_gui settings_gui platform_secret)
mfmail_layer(mftool FOLDER tools/mftool USES mail_answer platform_secret)
