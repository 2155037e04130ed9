#include "windows/common/window_services.h"

namespace kalvero {

const char* const kApplicationTitle = "SPSS_KALVERO";

WindowServices& Services() {
    static WindowServices services;
    return services;
}

} // namespace kalvero
