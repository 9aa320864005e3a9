// The example document of the x-ini format description, byte for byte: the
// reader's tests read it and the writer's tests must produce it.
#pragma once

namespace XIniTest {

inline constexpr char ExampleDocument[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<!DOCTYPE vxini SYSTEM \"vxini4.dtd\">\n"
    "<vxini>\n"
    "  <!-- sample -->\n"
    "  <i n=\"count\" v=\"3\"/>\n"
    "  <i n=\"mask\" v=\"0x1F\"/>\n"
    "  <i n=\"offset\" v=\"-0x10\"/>\n"
    "  <d n=\"scale\" v=\"2.5000000000000000e+00\"/>\n"
    "  <s n=\"title\" v=\"A &amp; B &quot;1&quot;\"/>\n"
    "  <s n=\"empty\" v=\"\"/>\n"
    "  <x n=\"window\">\n"
    "    <i n=\"left\" v=\"-10\"/>\n"
    "    <x n=\"pos\"><d v=\"1.0000000000000000e+00\"/><d v=\"2.0000000000000000e+00\"/></x>\n"
    "    <x n=\"flags\"><i n=\"a\" v=\"1\"/><i n=\"b\" v=\"0\"/></x>\n"
    "  </x>\n"
    "  <x n=\"notes\">\n"
    "    <s v=\"first&#xD;&#xA;\"/>\n"
    "    <s v=\"second\"/>\n"
    "  </x>\n"
    "  <b n=\"blob\">\n"
    "    AAECAw==\n"
    "  </b>\n"
    "</vxini>\n";

} // namespace XIniTest
