' odd input
  x = "unterminated
  y = $ + % - 12abc
  z = éÿ {} \
  LCDOUT "ok"