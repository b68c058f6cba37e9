# The same conversion as morvane, in one pass: the first line that begins
# with "Keys added" opens the section, the first empty line ends it.
BEGIN { RS = "\r\n"; ORS = "" }
!found {
    if (index($0, "Keys added") == 1) {
        found = 1
        print "Windows Registry Editor Version 5.00\r\n\r\n"
    }
    next
}
$0 == "" { exit }
length($0) > 8190 || /[\r\n]/ { next }
{ sub(/^[ \t]+/, "") }
/^HKLM\\./ { print "[-HKEY_LOCAL_MACHINE" substr($0, 5) "]\r\n"; next }
/^HKEY_LOCAL_MACHINE\\./ { print "[-" $0 "]\r\n"; next }
/^HKU\\./ { print "[-HKEY_USERS" substr($0, 4) "]\r\n"; next }
/^HKEY_USERS\\./ { print "[-" $0 "]\r\n"; next }
