// XmlDocTest: being written.
