#pragma once

namespace korvo::ui {

// Maps the design faces to installed fonts, loads Qt's Japanese translation and sets the default
// font. Called once at start-up, after the application object exists.
void setupApplication();

} // namespace korvo::ui
