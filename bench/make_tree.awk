# Writes, as a registry script and as RegShot's report of it, a tree that a
# large suite might add: HKLM\SOFTWARE\MorvaneBench with `tops` keys of
# `subs` subkeys each, three values a key. Usage:
#   awk -v tops=2000 -v subs=50 -v script=tree.reg -v report=report.txt -f bench/make_tree.awk
function key(name, n) {
    printf "[HKEY_LOCAL_MACHINE\\%s]\r\n\"Name\"=\"key %d\"\r\n\"Count\"=dword:%08x\r\n\"Data\"=hex:%02x,%02x,%02x,%02x\r\n\r\n",
        name, n, n, n % 256, int(n / 256) % 256, 7, 9 > script
    printf "HKLM\\%s\r\n", name > report
}
BEGIN {
    printf "Windows Registry Editor Version 5.00\r\n\r\n" > script
    printf "Regshot 1.9.0 x64 ANSI\r\nComments: benchmark\r\n\r\n" > report
    printf "----------------------------------\r\nKeys added: %d\r\n----------------------------------\r\n",
        1 + tops * (subs + 1) > report
    root = "SOFTWARE\\MorvaneBench"
    key(root, 0)
    n = 0
    for (t = 0; t < tops; t++) {
        top = sprintf("%s\\Component %04d", root, t)
        key(top, ++n)
        for (s = 0; s < subs; s++)
            key(sprintf("%s\\{%08X-%04X}", top, t * 2654435761 % 4294967296, s), ++n)
    }
    printf "\r\n----------------------------------\r\nValues added: 3\r\n----------------------------------\r\n" > report
    printf "HKLM\\%s\\Name: \"key 0\"\r\nHKLM\\%s\\Count: 0x00000000\r\nHKLM\\%s\\Data:  00 00 07 09\r\n\r\n",
        root, root, root > report
}
