# Writes a RegShot-style report whose added section lists `keys` keys,
# 60% under HKLM and 40% under HKU.
BEGIN {
    srand(7)
    printf "Regshot 1.9.0 x86 ANSI\r\nComments: benchmark\r\n\r\n"
    printf "----------------------------------\r\nKeys added: %d\r\n----------------------------------\r\n", keys
    for (i = 0; i < keys; i++) {
        vendor = "Vendor" int(i / 5000)
        if (i % 5 < 3)
            printf "HKLM\\SOFTWARE\\%s\\Product %d\\Components\\%08X\r\n", vendor, int(i / 100), i * 2654435761 % 4294967296
        else
            printf "HKU\\S-1-5-21-1004336348-1177238915-682003330-1001\\Software\\Classes\\CLSID\\{%08X-%04X}\r\n", i, int(rand() * 65536)
    }
    printf "\r\n----------------------------------\r\nValues added: 1\r\n----------------------------------\r\n"
    # Under the first key listed, so that it goes with that key.
    printf "HKLM\\SOFTWARE\\Vendor0\\Product 0\\Components\\00000000\\Version: \"1.0\"\r\n\r\n"
}
