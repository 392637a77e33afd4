// MenuError: the error and sign-in dialog, shown over the screen that was
// current when the web service's error reply arrived (error_return_state).
// The service's text (for a stored account), the account fields, Sign In and
// the account page in the browser.
#pragma once

#include <string>

#include "screens/screen.h"

class MenuError : public Screen {
public:
    explicit MenuError(game* g);
    void enter() override;
    // Stores the name and password, and puts the screen underneath back as the
    // current state number, so a run that ends here resumes there.
    void leave() override;
    void paint() override;  // the screen underneath, then the dialog
    void event(Event e) override;
    void frame() override;  // the root's tick

    enum : int { SIGN_IN = 1, ACCOUNT = 2 };
};

// The screen the dialog returns to: error_return_state when it names a screen
// other than the dialog itself, else the main menu.
int error_return_screen(const game& g);

// The account page of the level service for the stored user name.
std::string account_page_url(const game& g);
