#pragma once

namespace korvo::ui {

// Maps the design faces to installed fonts, puts the interface in the system's language
// (ui/language.h) and sets the default font. Called once at start-up, after the application object exists.
void setupApplication();

} // namespace korvo::ui
