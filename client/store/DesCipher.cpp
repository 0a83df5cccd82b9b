// DesCipher: being written.
