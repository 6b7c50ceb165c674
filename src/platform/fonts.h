#pragma once
// The windows and reports name the fonts of the original desktop ("細明體",
// "Arial", ...). This table maps each to the free font installed here with the
// same role (Ming serif, Arial metrics), so that layouts keep their widths.

namespace r56::platform {

// Installs the substitution table; call once at the start of each program,
// after the application object exists.
void installFontSubstitutions();

} // namespace r56::platform
