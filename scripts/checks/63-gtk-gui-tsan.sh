#!/usr/bin/env bash
# The Linux demo's round (61-gtk-gui-e2e.sh) once on the ThreadSanitizer build: the GUI thread,
# the worker and the file chooser's hand-over between them under TSan. TSan needs a fixed
# address-space layout; setarch turns off randomisation.
root=$(cd "$(dirname "$0")/../.." && pwd)
NIMBA_GUI_PRESET=native-tsan exec setarch "$(uname -m)" -R bash "$root/scripts/checks/61-gtk-gui-e2e.sh"
