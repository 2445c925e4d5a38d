 # indented
