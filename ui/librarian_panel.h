// The librarian's part of the screen: the BACKUP and RESTORE rows of the slot panel, above the
// custom shop, and the question a restore asks before it writes, with its RESTORE and CANCEL
// buttons. GUI thread only, inside a drawing pass.
#pragma once

#include "ui/controls.h"

namespace nimba {

void draw_librarian_rows(frame& f);

// Nothing unless the worker is asking the restore question.
void draw_restore_question(frame& f);

} // namespace nimba
