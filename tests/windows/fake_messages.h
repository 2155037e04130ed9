// A message service that records the texts instead of showing a box, so
// that no window test ever blocks on a modal message box.
#pragma once

#include "run_services.h"

#include <string>
#include <vector>

namespace kalvero::test {

class FakeMessages : public MessageService {
public:
    void ShowMessage(const std::string& text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

} // namespace kalvero::test
