#pragma once
// What screen readers are told about the main window and its controls that have no label of their own.
namespace kvt {

class TRepMainForm;

/// Lets screen readers know the main window as a window named by its title (a plain top-level widget
/// would be announced as a client area). Once per process; later calls do nothing.
void installWindowAccessibility();

/// Names the window's controls that no label names: the category selector, the menu button, the tree
/// and the page control, and the Control Name edit after the caption of its label. Run again after
/// captioning, since the names follow the captions the text tables give.
void nameUnlabelledControls(TRepMainForm &window);

} // namespace kvt
