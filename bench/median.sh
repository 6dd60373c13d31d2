# The benchmark scripts' one median: of the numbers on standard input, one
# a line, in the C locale's number format.
median() { LC_ALL=C sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
