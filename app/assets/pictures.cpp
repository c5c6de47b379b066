// The built-in pictures. None are embedded yet: every picture is an empty blob, which the
// canvas skips.
#include "app/assets/pictures.h"

namespace nimba {

blob picture_blob(picture) {
    return {};
}

} // namespace nimba
