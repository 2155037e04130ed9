* Tables with cells merged across rows and columns, two charts, text
* outside ASCII and an error message, for the Draft document's tests.
DATA LIST LIST /x y g (F8.0).
BEGIN DATA
1 2 1
2 3 1
3 5 2
4 4 2
5 9 2
END DATA.
VARIABLE LABELS x 'Größe über' y 'Gewicht 重量 {curly} \back'.
DESCRIPTIVES x y.
CROSSTABS /TABLES=g BY x.
FREQUENCIES x /HISTOGRAM.
GRAPH /SCATTERPLOT(BIVAR)=x WITH y.
FREQUENCIES nosuch.
