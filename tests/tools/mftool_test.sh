#!/usr/bin/env bash
# Runs mftool's file commands against the starter characters and small
# mails, checking exit codes and output. Prints "N passed, N failed".
set -u
tool=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() {  # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what" >&2
  fi
}
sjis() { printf '%s' "$1" | iconv -f UTF-8 -t CP932; }

# Packing a starter character and unpacking it gives the same pictures and script.
check "pack a starter character" "$tool" pack "$source_dir/assets/char2" "$work/MofutanData.mfd"
check "the package passes the check" "$tool" check "$work/MofutanData.mfd"
check "unpack into a new folder" "$tool" unpack "$work/MofutanData.mfd" "$work/char9"
check "unpacked files are identical" diff -r "$source_dir/assets/char2" "$work/char9"
check "mirror makes the r folder" "$tool" mirror "$work/char9"
check "mirrored pictures match the shipped ones" bash -c "cd '$work/char9r' && for f in *.bmp; do cmp -s \"\$f\" '$source_dir/assets/char2r/'\"\$f\" || exit 1; done"

# A damaged package fails the check and unpacks nothing.
head -c 100 "$work/MofutanData.mfd" > "$work/broken.mfd"
check "a cut package fails the check" bash -c "! '$tool' check '$work/broken.mfd'"
check "a cut package does not unpack" bash -c "! '$tool' unpack '$work/broken.mfd' '$work/char10' && [ ! -e '$work/char10' ]"

# Every starter character can go out.
for n in 1 2 3; do
  check "char$n can go out" bash -c "'$tool' scene-check '$source_dir/assets/char$n' >/dev/null"
done

# Japanese text: detection and conversion both ways.
sjis "日本語のメール" > "$work/sjis.txt"
check "detect Shift_JIS" bash -c "'$tool' jconv --detect < '$work/sjis.txt' | grep -q 'jcSjis'"
"$tool" jconv --to jis < "$work/sjis.txt" > "$work/jis.txt"
check "JIS carries the kanji escape" grep -q $'\x1b\$B' "$work/jis.txt"
check "JIS converts back to the same Shift_JIS" bash -c "'$tool' jconv --to sjis < '$work/jis.txt' | cmp -s - '$work/sjis.txt'"
check "a header encodes and decodes back" bash -c "'$tool' header-encode < '$work/sjis.txt' > '$work/word.txt' && grep -q '=?ISO-2022-JP?B?' '$work/word.txt' && '$tool' header-decode < '$work/word.txt' | tr -d '\r\n' | cmp -s - '$work/sjis.txt'"
# Kanji with lead bytes 0xF0-0xFC: 髙 goes out as its NEC-selected JIS pair.
check "髙橋さん encodes as clean JIS" bash -c "printf '%s' '髙橋さん' | iconv -f UTF-8 -t CP932 | '$tool' header-encode | grep -qx '=?ISO-2022-JP?B?GyRCfGI2NiQ1JHMbKEo=?='"
# A file of several blocks converts both ways in one run; half-width kana
# comes back full-width, as from any JIS.
for i in $(seq 1 80000); do printf '%s\r\n' "髙橋さんの$i行目 ABC ｶﾀｶﾅ"; done > "$work/big.utf8"
iconv -f UTF-8 -t CP932 < "$work/big.utf8" > "$work/big.txt"
"$tool" jconv --to jis < "$work/big.txt" > "$work/big.jis"
check "a large file goes to JIS 7-bit clean" bash -c "[ -s '$work/big.jis' ] && [ \$(LC_ALL=C tr -d '\\000-\\177' < '$work/big.jis' | wc -c) -eq 0 ]"
check "a large file comes back from JIS" bash -c "'$tool' jconv --to sjis < '$work/big.jis' | iconv -f CP932 -t UTF-8 | cmp -s - <(sed 's/ｶﾀｶﾅ/カタカナ/' '$work/big.utf8')"
check "scene-check prints the name as UTF-8" bash -c "'$tool' scene-check '$source_dir/assets/char1' | grep -qx 'name: ミケ'"

# A multipart mail: the attachment comes out byte for byte.
printf 'hello attachment\x00\x01\xff' > "$work/data.bin"
{
  printf 'From: a@example.jp\r\nSubject: test\r\nMIME-Version: 1.0\r\n'
  printf 'Content-Type: multipart/mixed; boundary="XYZ"\r\n\r\n'
  printf -- '--XYZ\r\nContent-Type: text/plain\r\n\r\nbody line\r\n'
  printf -- '--XYZ\r\nContent-Type: application/octet-stream; name="data.bin"\r\n'
  printf 'Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename="data.bin"\r\n\r\n'
  base64 "$work/data.bin" | tr -d '\n'
  printf '\r\n--XYZ--\r\n'
} > "$work/mail.eml"
mkdir -p "$work/parts"
check "mime-dump decodes the mail" bash -c "'$tool' mime-dump '$work/mail.eml' --parts '$work/parts' > '$work/events.txt'"
check "mime-dump names the attachment" grep -q 'data.bin' "$work/events.txt"
check "the attachment part is byte-identical" bash -c "for f in '$work'/parts/*.bin; do cmp -s \"\$f\" '$work/data.bin' && exit 0; done; exit 1"

# An empty store lists nothing and fails nothing.
check "store list on an empty program folder" env MFMAIL_HOME="$work/home" "$tool" store inbox list

check "an unknown command fails" bash -c "! '$tool' no-such-command 2>/dev/null"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
