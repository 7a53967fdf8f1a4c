#include "paramtool/ControlText.h"

#include "protocol/ParamFields.h"

namespace uhf {

QStringList FrequencyItems() {
    QStringList items;
    for (int channel = 1; channel <= kChannelCount; ++channel) {
        items.append(QString::fromStdString(ChannelText(channel)));
    }
    return items;
}

QString TagText(const std::uint8_t* record) {
    QString text;
    for (int i = 0; i < 8; ++i) {
        text += QString::asprintf("%.2X ", static_cast<unsigned>(record[i]));
    }
    return text;
}

std::uint8_t LowByteOfInteger(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Arithmetic modulo 256 keeps exactly the low 8 bits of the whole number.
    unsigned value = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        value = (value * 10U + static_cast<unsigned>(text[i].unicode() - u'0')) & 0xFFU;
        ++i;
    }
    if (negative) {
        value = (256U - value) & 0xFFU;
    }
    return static_cast<std::uint8_t>(value);
}

int ItemIndexForValue(std::uint8_t value, int itemCount) {
    const int index = static_cast<int>(value) - 1;
    return index >= 0 && index < itemCount ? index : -1;
}

}  // namespace uhf
