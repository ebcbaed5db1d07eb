// Watches the message boxes that code under test shows on this thread and
// answers them, so that a test can run an action to its end and then look at
// every box it showed: text, caption, buttons, icon and default button.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace VelmoraTest {

enum BoxIcon { NoIcon, ExclamationIcon, QuestionIcon, InformationIcon, OtherIcon };

struct SeenBox {
    std::string Text;
    std::string Caption;
    std::vector<int> Buttons; // control ids, in the box's order
    int DefaultButton;        // id of the button drawn as the default; 0 = none
    BoxIcon Icon;
};

// How a box is answered: a click on a button (its id), or a key pressed in it.
struct BoxAnswer {
    int ButtonId; // 0 = press Key instead
    WPARAM Key;
};
BoxAnswer Click(int ButtonId);
BoxAnswer PressKey(WPARAM Key);

// Starts watching this thread's message boxes. Answers are used in order;
// a box that finds none left is closed with Cancel (and still recorded).
void WatchMessageBoxes(const std::vector<BoxAnswer>& Answers = {});
// Stops watching and returns what was seen since WatchMessageBoxes.
std::vector<SeenBox> StopWatching();

} // namespace VelmoraTest
