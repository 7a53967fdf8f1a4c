#include "common/PortInfo.h"

namespace uhf {

std::string PortInfo::Describe() const {
    std::string text;
    const auto add = [&text](const std::string& part) {
        if (!part.empty()) {
            text += (text.empty() ? "" : ", ") + part;
        }
    };
    std::string name = manufacturer;
    if (!product.empty()) {
        name += (name.empty() ? "" : " ") + product;
    }
    add(name);
    if (!vendorId.empty() || !productId.empty()) {
        add("USB " + vendorId + ":" + productId);
    }
    if (!serialNumber.empty()) {
        add("serial " + serialNumber);
    }
    if (!driver.empty()) {
        add("driver " + driver);
    }
    add(byIdPath);
    return text;
}

}  // namespace uhf
