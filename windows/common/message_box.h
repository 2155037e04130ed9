// Message boxes of the program: OK only, no icon, the application's title as
// caption, modal to the whole application; ShowMessage returns when the user
// has pressed OK.
#pragma once

#include "batch/run_services.h"

namespace kalvero {

class QtMessageService : public MessageService {
public:
    void ShowMessage(const std::string& text) override;
};

} // namespace kalvero
