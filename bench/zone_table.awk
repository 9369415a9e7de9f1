# SPDX-License-Identifier: GPL-3.0-or-later
# The zone table of a Kestrin log, computed the plain way: the baseline that
# zone_table_bench measures "kestrin --zone-table" against. Same split rule,
# same data-line rule for the numbers the program writes, exact means.
function text(h,   sign, whole, frac) {
    sign = h < 0 ? "-" : ""
    if (h < 0) h = -h
    whole = int(h / 100); frac = h - whole * 100
    if (frac == 0) return sign whole
    if (frac % 10 == 0) return sign whole "." frac / 10
    return sign whole "." (frac < 10 ? "0" frac : frac)
}
function hundredths(a,   sign, p, whole, frac) {
    sign = 1
    if (a ~ /^[-+]/) { if (a ~ /^-/) sign = -1; a = substr(a, 2) }
    p = index(a, ".")
    if (p == 0) return sign * a * 100
    whole = substr(a, 1, p - 1); frac = substr(substr(a, p + 1) "00", 1, 2)
    return sign * (whole * 100 + frac)
}
{
    sub(/\r$/, "")
    n = split($0, f, "\t")
    if (n > 0 && f[n] == "") n--
    if (n < 13 && index($0, ",") > 0) {
        n = split($0, f, /[\t,]/)
        if (n > 0 && f[n] == "") n--
    }
    if (n != 13) next
    z = f[10]; a = f[12]
    if (z !~ /^[-+]?[0-9]+$/) next
    if (a !~ /^[-+]?([0-9]+\.?[0-9]?[0-9]?|\.[0-9][0-9]?)$/) next
    h = hundredths(a); z = z + 0
    if (!(z in count) || h < lo[z]) lo[z] = h
    if (!(z in count) || h > hi[z]) hi[z] = h
    count[z]++; sum[z] += h
    if (f[11] != "") stng[z] = f[11]
}
END {
    print "ZONE\tLINES\tAFR_MEAN\tAFR_MIN\tAFR_MAX\tSTNG"
    fflush()
    sorter = "sort -n"
    for (z in count) {
        s = sum[z]; c = count[z]; neg = s < 0; if (neg) s = -s
        q = int(s / c); r = s - q * c
        if (2 * r > c || (2 * r == c && q % 2 == 1)) q++
        printf "%d\t%d\t%s\t%s\t%s\t%s\n", z, c, text(neg ? -q : q), text(lo[z]), text(hi[z]),
               stng[z] | sorter
    }
    close(sorter)
}
