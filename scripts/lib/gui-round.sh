# The GUI checks' round through the demo edition, shared by the Windows edition under Wine and
# the Linux edition. Sourced; the caller defines:
#   fail <text>              ends the check;
#   point_at <x> <y>         moves the pointer to a point of the client area;
#   host_path <path>         the path as the editor and nimba-cli take it;
#   cli <arguments...>       runs nimba-cli;
#   answer_picker <title> <path>   types the path into the open picker and accepts it;
#   keys <key names...>      types the keys (xdotool's names) into the editor's window;
# and sets $work, $log (the amplifier's report), $client_w and $client_h (the client area's
# size in pixels) and $tag (the check's name for its messages). find_editor_window sets $window,
# $wx and $wy (the client area's place on the screen).

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# wait_for <seconds> <command...>: true as soon as the command succeeds, false at the deadline.
wait_for() {
  local deadline=$(($(now_ms) + $1 * 1000))
  shift
  until "$@"; do
    [ "$(now_ms)" -gt "$deadline" ] && return 1
    sleep 0.05
  done
}
logged() { grep -qE -- "$1" "$log" 2>/dev/null; }
logged_count() { [ "$(grep -cE -- "$1" "$log" 2>/dev/null)" -ge "$2" ]; }

find_editor_window() {
  window=$(xdotool search --name '^Corvane Editor$' 2>/dev/null | head -1)
  [ -n "$window" ] || return 1
  read -r wx wy < <(xdotool getwindowgeometry "$window" | awk -F'[ ,]+' '/Position/ { print $3, $4 }')
}

# screen <file>: the whole screen; region_hash <file> <x> <y> <w> <h>: a hash of the pixels of
# a client-area rectangle.
screen() { import -window root "$1" 2>/dev/null; }
region_hash() {
  convert "$1" -crop "$4x$5+$((wx + $2))+$((wy + $3))" +repage -format '%#' info: 2>/dev/null
}
# Painted: the client area holds many colours (the start fill is one).
painted() {
  screen "$work/first.png" || return 1
  local colours
  colours=$(convert "$work/first.png" -crop "${client_w}x${client_h}+$wx+$wy" +repage \
    -format '%k' info: 2>/dev/null)
  [ "${colours:-0}" -ge 20 ]
}

click() {
  point_at "$1" "$2"
  xdotool click 1
  sleep 0.15
}
rest_pointer() { point_at 600 150; }

# click_and_see <x> <y> <rectangle x y w h> <what>: points at (x, y), waits for the hover to
# settle, clicks, and waits for the rectangle of the client area to change.
click_and_see() {
  local before="" previous="" i
  point_at "$1" "$2"
  for i in $(seq 12); do
    sleep 0.15
    screen "$work/see.png" || continue
    before=$(region_hash "$work/see.png" "$3" "$4" "$5" "$6")
    [ "$before" = "$previous" ] && break
    previous=$before
  done
  xdotool click 1
  region_changed() {
    screen "$work/see.png" && [ "$(region_hash "$work/see.png" "$3" "$4" "$5" "$6")" != "$before" ]
  }
  wait_for 5 region_changed "$@" || fail "$7 did not appear"
}

# see_change <seconds> <rectangle x y w h> <action...>: runs the action and waits for the
# rectangle of the client area to change.
see_change() {
  local seconds=$1 x=$2 y=$3 w=$4 h=$5 before
  shift 5
  screen "$work/before.png"
  before=$(region_hash "$work/before.png" "$x" "$y" "$w" "$h")
  "$@"
  changed() { screen "$work/after.png" && [ "$(region_hash "$work/after.png" "$x" "$y" "$w" "$h")" != "$before" ]; }
  wait_for "$seconds" changed
}

# demo_started <start ms>: the demo's window is up, painted and connected to its amplifier.
demo_started() {
  local start=$1 window_ms paint_ms connected_ms line
  wait_for 30 find_editor_window || fail "the demo's window did not appear"
  window_ms=$(($(now_ms) - start))
  wait_for 30 painted || fail "the client area was never painted"
  paint_ms=$(($(now_ms) - start))
  wait_for 20 logged_count '^recv F0 00 04 0[0-5] F7$' 6 || fail "the connect sequence did not finish"
  connected_ms=$(($(now_ms) - start))
  for line in '^recv F0 00 0B F7$' '^fetch ' '^recv F0 00 02 00 F7$'; do
    logged "$line" || fail "the connect sequence sent no \"$line\""
  done
  logged '^recv F0 00 07 ' && fail "the demo updated the firmware"
  echo "$tag: window after ${window_ms} ms, first paint after ${paint_ms} ms (screen" \
    "polled every ~0.3 s), connected after ${connected_ms} ms"
  # link_status turns 1 just after the last slot name arrives; input is taken only then.
  sleep 0.3
}

# slot_holds <slot> <name> <expected image> <what>: the amplifier's report names the cabinet
# that last arrived in the slot, and the image it kept is the expected one byte for byte.
slot_holds() {
  local arrived
  arrived=$(grep "^slot $1 " "$log" | tail -1)
  [ "$arrived" = "slot $1 \"$2\" $(stat -c %s "$3") bytes" ] ||
    fail "$4: slot $1 holds ${arrived:-nothing}, wanted \"$2\""
  cmp -s "$log.slot$1.wav" "$3" || fail "$4: slot $1's image differs from $3"
  echo "$tag: $4: slot $1 holds \"$2\", byte for byte the expected image"
}

# export_factory_cabinets: the factory cabinets as the command-line tool writes them into
# $work/cabinets; line i + 1 of $work/names names cabinet i.
export_factory_cabinets() {
  mkdir -p "$work/cabinets"
  cli ir-export "$(host_path "$work/cabinets")" >"$work/export.out" 2>&1 ||
    fail "nimba-cli ir-export failed: $(cat "$work/export.out")"
  tr -d '\r' <"$work/export.out" | grep '\.wav"$' | sed 's|.*/||; s|\.wav"$||' >"$work/names"
  [ "$(wc -l <"$work/names")" -eq 12 ] || fail "ir-export did not name twelve cabinets"
}

# preview_place: the import preview's panel on this client area ($preview_x, $preview_y), centred
# over the main area right of the slot panel; its switches' rows are 36 apart from y + 380,
# their options 100 apart from x + 106; CANCEL and SEND sit at its bottom right.
preview_place() {
  preview_x=$((250 + (client_w - 250 - 730) / 2))
  preview_y=$((41 + (client_h - 62 - 560) / 2))
}

# preview_spots: the colours of the preview's title row and of SEND where they are drawn.
preview_spots() {
  screen "$work/up.png" || return 1
  local spots="%[pixel:p{$((wx + preview_x + 8)),$((wy + preview_y + 10))}]"
  spots+=" %[pixel:p{$((wx + preview_x + 628)),$((wy + preview_y + 535))}]"
  convert "$work/up.png" -format "$spots" info: 2>/dev/null
}

# preview_up: the preview of a file it can send is on screen (a picker closing over the page
# changes the screen too, before it).
preview_up() { [ "$(preview_spots)" = "srgb(8,8,10) srgb(190,190,190)" ]; }

# preview_refusing: the preview is on screen with SEND not lit: it refuses its file.
preview_refusing() {
  local spots
  spots=$(preview_spots) && [ "${spots% *}" = "srgb(8,8,10)" ] && [ "${spots#* }" != "srgb(190,190,190)" ]
}

# demo_round: from the connected demo, steps 2 to 7 of the round (program up, IR bypass, a
# factory cabinet SELECTed and AUDITIONed, STORE, a WAV file refused with its reason told,
# one imported through the file picker and shaped in its preview, EXTRACT ALL into a folder
# chosen in the folder picker).
demo_round() {
  local slot=2 cabinet=4 name bottom=$client_h

  # 2. Program up: the number at (673, 3, 46, 34) changes and program 1 is read.
  rest_pointer
  logged '^recv F0 00 02 01 F7$' && fail "program 1 was read before it was visited"
  see_change 10 673 3 46 34 click 726 20 || fail "the program number on screen did not change"
  wait_for 5 logged '^recv F0 00 02 01 F7$' || fail "program up did not read program 1"
  echo "$tag: program up: program 1 read, number on screen changed"

  # 3. IR bypass on program 1 (stored off in the demo): its block, with byte 13 set.
  rest_pointer
  sleep 0.2
  block_with_bypass() {
    awk '$1 == "recv" && NF == 24 && $2 == "F0" && $4 == "01" && $5 == "01" && $24 == "F7" &&
         $15 == "01" { found = 1 } END { exit !found }' "$log"
  }
  bypass_click() {
    click 753 61
    rest_pointer
  }
  see_change 10 733 51 40 20 bypass_click || fail "the IR bypass switch did not change on screen"
  wait_for 5 block_with_bypass || fail "no 23-byte block for program 1 with the bypass byte set"
  echo "$tag: IR bypass: block sent with the bypass byte set, switch changed on screen"

  # 4. Slot 2's cabinet page, the list, cabinet 4, SELECT. The page's controls exist only
  # once it has been painted, the list's rows likewise: these two clicks wait for the part of
  # the screen they change.
  click_and_see 237 $((198 + 31 * slot + 11)) 300 45 150 40 "the cabinet page"
  click_and_see 375 20 260 $((42 + 31 * cabinet)) 230 31 "the cabinet list"
  click 375 $((42 + 31 * cabinet + 15))
  click 434 $((bottom - 55 + 13)) # SELECT
  wait_for 15 logged_count "^slot $slot \"" 1 || fail "no cabinet arrived in slot $slot"
  name=$(sed -n "$((cabinet + 1))p" "$work/names")
  slot_holds $slot "$name" "$work/cabinets/$name.wav" "SELECT"

  # AUDITION: each cabinet chosen goes to the slot at once. The page stays open across the
  # re-read that follows a transfer; wait for that to end first (link_status 1 again).
  wait_for 10 logged_count '^recv F0 00 04 05 F7$' 2 || fail "no re-read after the transfer"
  sleep 0.3
  click 400 $((bottom - 85 + 10)) # AUDITION
  click 486 20                    # the next cabinet
  wait_for 15 logged_count "^slot $slot \"" 2 || fail "AUDITION sent nothing to slot $slot"
  name=$(sed -n "$((cabinet + 2))p" "$work/names")
  slot_holds $slot "$name" "$work/cabinets/$name.wav" "AUDITION"
  wait_for 10 logged_count '^recv F0 00 04 05 F7$' 3 || fail "no re-read after the audition"
  sleep 0.3

  # 5. STORE.
  click 228 20
  wait_for 5 logged '^stored$' || fail "STORE did not reach the amplifier"
  echo "$tag: STORE: the amplifier stored"
  sleep 0.8 # the store is shown for half a second, during which input is not taken

  # 6. A WAV file at a sample rate the amplifier cannot take: its preview opens refusing it,
  # the reason reaches the report and the status bar's left text; CANCEL closes it and nothing
  # reaches the amplifier.
  sox -n -r 22050 -c 1 -b 16 "$work/low_rate.wav" synth 0.05 pinknoise ||
    fail "sox could not make a WAV file"
  local refusal='^outcome import refused: sample rate 22050 Hz is outside 44100 to 96000$' received
  received=$(grep -c '^recv' "$log")
  refused_import() {
    click 215 $((198 + 31 * 4 + 11)) # slot 4's import button
    answer_picker Open "$(host_path "$work/low_rate.wav")"
    wait_for 15 logged "$refusal" || fail "the refused file's reason was not told"
    rest_pointer
  }
  rest_pointer
  sleep 0.2
  see_change 5 10 $((bottom - 21)) 600 21 refused_import ||
    fail "the refusal did not show in the status bar"
  preview_place
  wait_for 10 preview_refusing || fail "no preview opened refusing the file"
  see_change 5 "$preview_x" "$preview_y" 730 560 click $((preview_x + 534)) $((preview_y + 529)) ||
    fail "CANCEL did not close the refusing preview"
  [ "$(grep -c '^recv' "$log")" -eq "$received" ] || fail "a refused file reached the amplifier"
  echo "$tag: refused import: \"$(grep -E "$refusal" "$log" | sed 's/^outcome //')\", shown in" \
    "its preview, CANCEL closed it"

  # A stereo WAV file of the user's into slot 4: pink noise dying away on the left, a steady tone
  # on the right. Its preview opens; each choice flipped redraws the plots and figures; SEND with
  # both channels, the level matched and the tail faded puts in the slot the image the
  # command-line tool makes with the same options.
  sox -n -r 44100 -c 1 -b 16 "$work/left.wav" synth 0.08 pinknoise fade 0 0.08 0.06 &&
    sox -n -r 44100 -c 1 -b 16 "$work/right.wav" synth 0.08 sine 1000 vol 0.5 &&
    sox -M "$work/left.wav" "$work/right.wav" "$work/my_cab.wav" || fail "sox could not make a WAV file"
  cli ir-convert --channel both --level matched --tail fade "$(host_path "$work/my_cab.wav")" \
    "$(host_path "$work/my_cab_ir.wav")" >/dev/null 2>&1 || fail "nimba-cli ir-convert failed"
  picked_import() {
    click 215 $((198 + 31 * 4 + 11)) # slot 4's import button
    answer_picker Open "$(host_path "$work/my_cab.wav")"
    rest_pointer
  }
  picked_import
  wait_for 15 preview_up || fail "the preview did not open for the picked file"
  local as_picked
  as_picked=$(region_hash "$work/up.png" "$preview_x" $((preview_y + 72)) 698 290)
  echo "$tag: preview: opened for my_cab.wav"
  local choice
  for choice in "channel right:$((preview_x + 252)):$((preview_y + 392))" \
    "channel both:$((preview_x + 352)):$((preview_y + 392))" \
    "tail fade:$((preview_x + 252)):$((preview_y + 464))" \
    "level matched:$((preview_x + 252)):$((preview_y + 428))"; do
    IFS=: read -r what cx cy <<<"$choice"
    see_change 10 "$preview_x" $((preview_y + 72)) 698 290 click "$cx" "$cy" ||
      fail "the preview did not change on screen for $what"
    echo "$tag: preview: $what redrew the plots and figures"
  done
  click $((preview_x + 658)) $((preview_y + 529)) # SEND
  wait_for 15 logged "^slot 4 " || fail "no cabinet arrived in slot 4 from the preview"
  slot_holds 4 MY_CAB "$work/my_cab_ir.wav" "import"
  wait_for 5 logged '^outcome cabinet sent to slot 4: MY_CAB$' ||
    fail "the import's outcome was not told"
  echo "$tag: import: \"cabinet sent to slot 4: MY_CAB\" told"
  wait_for 10 logged_count '^recv F0 00 04 05 F7$' 4 || fail "no re-read after the import"
  sleep 0.3

  # The same file dropped on slot 3's row, as a file manager drops it (XDND): the same preview
  # opens, its plots and figures as they were when the file was picked; CANCEL closes it. Two
  # files dropped at once open it refusing them, and the status bar says why.
  drop_on_slot_3() {
    /usr/bin/python3 scripts/lib/xdnd_drop.py "$window" $((wx + 100)) $((wy + 198 + 31 * 3 + 11)) "$@" \
      >"$work/drop.out" 2>&1 || fail "the drop was not taken: $(cat "$work/drop.out")"
    rest_pointer
  }
  drop_on_slot_3 "$work/my_cab.wav"
  wait_for 10 preview_up || fail "no preview opened for the dropped file"
  [ "$(region_hash "$work/up.png" "$preview_x" $((preview_y + 72)) 698 290)" = "$as_picked" ] ||
    fail "the dropped file's preview differs from the picked file's"
  see_change 10 "$preview_x" "$preview_y" 730 560 click $((preview_x + 534)) $((preview_y + 529)) ||
    fail "CANCEL did not close the dropped file's preview"
  echo "$tag: drop: slot 3's row took the file, its preview as when picked; CANCEL closed it"
  local several='^outcome import refused: one slot takes one file: 2 files were dropped$'
  drop_on_slot_3 "$work/my_cab.wav" "$work/left.wav"
  wait_for 5 logged "$several" || fail "two dropped files were not refused with their reason"
  # The reason is logged as it is set; a slow build paints the preview after it, and a click
  # between the two would close it unseen.
  wait_for 10 preview_refusing || fail "no preview opened refusing the two dropped files"
  see_change 10 "$preview_x" "$preview_y" 730 560 click $((preview_x + 534)) $((preview_y + 529)) ||
    fail "CANCEL did not close the preview refusing two files"
  [ "$(grep -c '^slot 3 ' "$log")" -eq 0 ] || fail "a dropped file reached the amplifier"
  echo "$tag: drop: two files refused (\"one slot takes one file\"), nothing sent"

  # 7. EXTRACT ALL (the cabinet page is still open) into a folder of its own.
  mkdir -p "$work/extracted"
  click 315 $((bottom - 55 + 13))
  answer_picker "Select Folder" "$(host_path "$work/extracted")"
  all_extracted() { [ "$(find "$work/extracted" -name '*.wav' -size 16428c | wc -l)" -eq 12 ]; }
  wait_for 15 all_extracted || fail "EXTRACT ALL did not write twelve cabinets"
  sleep 0.2
  while read -r name; do
    cmp -s "$work/extracted/$name.wav" "$work/cabinets/$name.wav" ||
      fail "EXTRACT ALL: \"$name.wav\" differs from ir-export's"
  done <"$work/names"
  echo "$tag: EXTRACT ALL: the twelve cabinets, as ir-export writes them"
}

# times <n> <key>: the key n times, as keys takes them.
times() { for _ in $(seq "$1"); do printf '%s ' "$2"; done; }

# keyboard_round: from where demo_round left the demo (program 1, the cabinet page of slot 2
# open, AUDITION on), the round again by keyboard only: Escape closes the page, Page Up reads
# program 2, Tab and Space switch its IR bypass, a cabinet chosen from the list goes to slot 2
# with SELECT, and STORE. The focus moves as the reading order says (the top bar, the switch row
# or the cabinet page, then each slot's radio, import and page buttons); the amplifier's report
# is the evidence. Between steps the round waits until the editor takes input again.
keyboard_round() {
  local slot=2 cabinet=7 name
  rest_pointer
  sleep 0.2
  see_change 5 300 45 150 40 keys Escape || fail "Escape did not close the cabinet page"
  echo "$tag: keyboard: Escape closed the cabinet page"

  keys Prior
  wait_for 5 logged '^recv F0 00 02 02 F7$' || fail "Page Up did not read program 2"
  echo "$tag: keyboard: Page Up read program 2"
  sleep 0.3

  # Escape left the focus on the page button; back past three buttons a slot to IR BYPASS.
  # shellcheck disable=SC2046
  keys $(times $((3 * slot + 3)) shift+Tab) space
  block_2_with_bypass() {
    awk '$1 == "recv" && NF == 24 && $2 == "F0" && $4 == "01" && $5 == "02" && $24 == "F7" &&
         $15 == "01" { found = 1 } END { exit !found }' "$log"
  }
  wait_for 5 block_2_with_bypass || fail "Space on IR BYPASS sent no block with the bypass byte set"
  echo "$tag: keyboard: Space on IR BYPASS sent program 2's block with the bypass byte set"
  sleep 0.3

  # Forward to the page button again and open the page; back to AUDITION (off, past SELECT and
  # EXTRACT ALL), the title (the list), the first listed cabinet, down to the chosen one (the
  # list closes, the focus is on the title again), then forward to SELECT.
  # shellcheck disable=SC2046
  keys $(times $((3 * slot + 3)) Tab) space
  sleep 0.3
  # shellcheck disable=SC2046
  keys $(times $((3 * slot + 5)) shift+Tab) space
  # shellcheck disable=SC2046
  keys shift+Tab space Tab $(times "$cabinet" Down) space Tab Tab Tab Return
  wait_for 15 logged_count "^slot $slot \"" 3 || fail "SELECT by keyboard sent nothing to slot $slot"
  name=$(sed -n "$((cabinet + 1))p" "$work/names")
  slot_holds $slot "$name" "$work/cabinets/$name.wav" "keyboard SELECT"
  wait_for 10 logged_count '^recv F0 00 04 05 F7$' 5 || fail "no re-read after the transfer"
  sleep 0.3

  # Back from SELECT past EXTRACT ALL, AUDITION and the title to STORE.
  keys shift+Tab shift+Tab shift+Tab shift+Tab Return
  wait_for 5 logged_count '^stored$' 2 || fail "STORE by keyboard did not reach the amplifier"
  echo "$tag: keyboard: STORE: the amplifier stored"
  sleep 0.8
}

# blocks_since <line>: the programs (hex) whose 23-byte blocks the amplifier took after line
# <line> of its report, one a line.
blocks_since() {
  tail -n +$(($1 + 1)) "$log" |
    awk '$1 == "recv" && NF == 24 && $2 == "F0" && $4 == "01" && $24 == "F7" { print $5 }'
}

# librarian_round: from where keyboard_round left the demo (program 2, the cabinet page open),
# BACKUP into a file chosen in the save picker, program 2's IR bypass switched, then RESTORE
# from that file through the open picker: the question is drawn, its RESTORE confirms, and the
# amplifier takes only program 2's block and one store, and tells "restored program 2".
librarian_round() {
  local backup="$work/all-programs.json" bottom=$client_h mark programs
  local rows=$((bottom - 85 - 62)) # BACKUP's row; RESTORE's follows 31 below
  rest_pointer
  sleep 0.2
  see_change 5 300 45 150 40 keys Escape || fail "Escape did not close the cabinet page"

  mark=$(wc -l <"$log")
  click 125 $((rows + 15))
  answer_picker "Save Backup" "$(host_path "$backup")"
  wait_for 60 logged '^outcome backup written to ' || fail "BACKUP wrote no backup"
  programs=$(tail -n +$((mark + 1)) "$log" | grep -c '^recv F0 00 02 ')
  [ "$programs" -ge 128 ] || fail "BACKUP read $programs programs, not all 128"
  python3 -c 'import json, sys; b = json.load(open(sys.argv[1])); assert len(b["programs"]) == 128' \
    "$backup" || fail "the backup file does not hold 128 programs"
  echo "$tag: BACKUP: all 128 programs read and written to the file chosen in the save picker"
  sleep 0.5

  rest_pointer
  sleep 0.2
  see_change 10 733 51 40 20 click 753 61 || fail "the IR bypass switch did not change on screen"
  block_2() { [ -n "$(blocks_since "$mark" | grep -x 02)" ]; }
  wait_for 5 block_2 || fail "switching IR bypass sent no block for program 2"
  sleep 0.3

  mark=$(wc -l <"$log")
  click 125 $((rows + 31 + 15))
  answer_picker "Open Backup" "$(host_path "$backup")"
  # The question's box, in the panel colour, where the picture shows only its dark background
  # (veiled or not) while the programs are read.
  question_drawn() {
    screen "$work/question.png" &&
      [ "$(convert "$work/question.png" -format "%[pixel:p{$((wx + client_w - 30)),$((wy + 110))}]" \
        info: 2>/dev/null)" = "srgb(20,20,22)" ]
  }
  wait_for 60 question_drawn || fail "RESTORE drew no question"
  [ -z "$(blocks_since "$mark")" ] || fail "RESTORE wrote before it was confirmed"
  echo "$tag: RESTORE: the question is drawn, nothing written yet"
  sleep 0.3
  click $((client_w - 10 - 242 + 55)) $((90 + 170 - 41 + 13)) # the question's RESTORE
  wait_for 30 logged '^outcome restored program 2$' || fail "RESTORE did not tell \"restored program 2\""
  [ "$(blocks_since "$mark" | tr '\n' ' ')" = "02 " ] ||
    fail "RESTORE wrote the blocks of programs $(blocks_since "$mark" | tr '\n' ' '), not only 02"
  [ "$(tail -n +$((mark + 1)) "$log" | grep -c '^stored$')" -eq 1 ] ||
    fail "RESTORE did not store exactly once"
  echo "$tag: RESTORE: only program 2 written and stored, \"restored program 2\" told"
  sleep 0.5
}

# report_memory <pid>: the process's peak and current memory, from /proc.
report_memory() {
  local memory
  memory=$(awk '/^(VmHWM|VmRSS|RssAnon|RssFile):/ { printf "%s %s %s, ", $1, $2, $3 }' \
    "/proc/$1/status" 2>/dev/null)
  echo "$tag: memory of the editor's process: ${memory%, }"
}
