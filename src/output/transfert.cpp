// Window-free transfer and listing rules: to be written.
